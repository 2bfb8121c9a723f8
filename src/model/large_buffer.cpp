#include "model/large_buffer.h"

#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>

namespace korvane {
namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kWorthIt = std::size_t{4} << 20; // two huge pages

} // namespace

void AdviseHugePages(const void *data, std::size_t bytes)
{
    if (bytes < kWorthIt)
        return;
    // The whole pages inside the buffer; the partial ones at its ends keep what they have.
    char *const start = static_cast<char *>(const_cast<void *>(data));
    const std::size_t skip = (kPage - reinterpret_cast<std::uintptr_t>(start) % kPage) % kPage;
    if (bytes <= skip)
        return;
    const std::size_t length = (bytes - skip) / kPage * kPage;
    if (length > 0)
        madvise(start + skip, length, MADV_HUGEPAGE);
}

void ReleaseFreedMemory()
{
    malloc_trim(0);
}

} // namespace korvane
