#include "model/large_buffer.h"

#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>

namespace korvane {
namespace {

constexpr std::uintptr_t kPage = 4096;
constexpr std::size_t kWorthIt = std::size_t{4} << 20; // two huge pages

} // namespace

void AdviseHugePages(const void *data, std::size_t bytes)
{
    if (bytes < kWorthIt)
        return;
    // The whole pages inside the buffer; the partial ones at its ends keep what they have.
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kPage - 1) & ~(kPage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kPage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

void ReleaseFreedMemory()
{
    malloc_trim(0);
}

} // namespace korvane
