// The volume laid out once more for the coronal and the transversal view,
// so that each of their sections is one contiguous 64 KiB block and draws
// as fast as a sagittal one.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace zx {

/// Owns the coronal copy (voxel (x, y, z) at byte y·65536 + z·256 + x) and
/// the transversal copy (byte z·65536 + y·256 + x) of one volume. Only
/// Rebuild writes them; nothing else shares their memory.
class SectionCopies {
public:
    SectionCopies();
    /// Makes both copies from `volume` (one pass, two threads).
    void Rebuild(const std::uint8_t* volume);
    const std::uint8_t* Coronal() const { return coronal_.get(); }
    const std::uint8_t* Transversal() const { return transversal_.get(); }

private:
    struct Free {
        void operator()(std::uint8_t* p) const;
    };
    std::unique_ptr<std::uint8_t, Free> coronal_, transversal_;
};

}  // namespace zx
