#pragma once

#include <cstddef>

namespace korvane {

/// Asks the kernel to back a large buffer, reserved but not yet written, with huge pages: a
/// buffer of a hundred megabytes then costs a few hundred page faults instead of tens of
/// thousands, which on a program of a million lines took a third of the run. Only the few
/// buffers that grow with the program are advised, so everything else keeps the usual
/// allocator. A hint: a buffer the kernel does not back so works all the same. Buffers of less
/// than a few megabytes are left alone.
void AdviseHugePages(const void *data, std::size_t bytes);

/// Gives the memory that freed blocks hold back to the system. A window that rewrites a large
/// program again and again would otherwise keep the memory of its largest command for good.
/// Costs a walk over the free blocks: call it when a command is done, not inside one.
void ReleaseFreedMemory();

/// Reserves room for `count` elements in a vector or string and advises it as above.
template <typename Container> void ReserveLarge(Container &container, std::size_t count)
{
    container.reserve(count);
    AdviseHugePages(container.data(), container.capacity() * sizeof(*container.data()));
}

} // namespace korvane
