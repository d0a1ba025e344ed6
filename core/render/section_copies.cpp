#include "core/render/section_copies.h"

#include <sys/mman.h>

#include <new>

#include "core/render/sections.h"
#include "core/volume/volume.h"

namespace zx {

namespace {

/// Page-aligned (the copies are written in whole cache lines) and zero,
/// from anonymous memory: its pages are made when first written, so that
/// the 32 MiB cost nothing before the first volume (which rebuilds both
/// copies whole) and the window starts sooner.
std::uint8_t* NewCopy() {
    void* b =
        ::mmap(nullptr, kVolumeBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (b == MAP_FAILED) throw std::bad_alloc();
    return static_cast<std::uint8_t*>(b);
}

}  // namespace

SectionCopies::SectionCopies() : coronal_(NewCopy()), transversal_(NewCopy()) {}

void SectionCopies::Free::operator()(std::uint8_t* p) const { ::munmap(p, kVolumeBytes); }

void SectionCopies::Rebuild(const std::uint8_t* volume) {
    MakeSectionCopies(volume, coronal_.get(), transversal_.get());
}

}  // namespace zx
