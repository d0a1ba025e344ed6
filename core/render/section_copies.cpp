#include "core/render/section_copies.h"

#include <cstring>
#include <new>

#include "core/render/sections.h"
#include "core/volume/volume.h"

namespace zx {

namespace {

/// 64-byte aligned, so that the copies are written in whole cache lines;
/// zeroed, so that the pages are there before the first drag needs them.
std::uint8_t* NewCopy() {
    auto* b = static_cast<std::uint8_t*>(std::aligned_alloc(64, kVolumeBytes));
    if (!b) throw std::bad_alloc();
    std::memset(b, 0, kVolumeBytes);
    return b;
}

}  // namespace

SectionCopies::SectionCopies() : coronal_(NewCopy()), transversal_(NewCopy()) {}

void SectionCopies::Rebuild(const std::uint8_t* volume) {
    MakeSectionCopies(volume, coronal_.get(), transversal_.get());
}

}  // namespace zx
