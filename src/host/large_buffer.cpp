// Large buffers. With the GNU C library, large blocks kept on the heap. On Linux, transparent huge
// pages asked for by madvise: where the system gives them only on request (Debian's setting), a
// buffer of malloc's is otherwise filled 4 KiB at a time; where they are off, or the memory does
// not take them, the hint changes nothing. Windows gives large pages only to a privilege users
// lack.
#include "host/large_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>

#include <cstdint>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace norvane::host {

void keep_large_blocks() {
#if defined(__GLIBC__)
    // Blocks under the threshold come from the heap, whose freed room serves later blocks; the
    // top of the heap goes back to the system only when more than the trim threshold is free.
    // Setting them turns off the allocator's own adjustment, which maps a block afresh whenever
    // it is a little larger than the last one freed (a file one line longer).
    constexpr int keep_below = 32 * 1024 * 1024;  // the largest threshold the allocator takes
    mallopt(M_MMAP_THRESHOLD, keep_below);
    mallopt(M_TRIM_THRESHOLD, 2 * keep_below);
#endif
}

void reserve_large(std::string& buffer, std::size_t size) {
    constexpr std::size_t large = 4 * 1024 * 1024;
    constexpr std::size_t step = 2 * 1024 * 1024;
    if (size < large) {
        buffer.reserve(size);
        return;
    }
    // Room in whole steps: buffers for the same file, one line longer or shorter, are blocks of
    // one size, so that a block freed serves the next buffer, and a line that grows in place
    // has room. Room not written to takes no memory.
    constexpr std::size_t bookkeeping = 64;  // the allocator's and the string's own, at most
    buffer.reserve((size + bookkeeping + step - 1) / step * step - bookkeeping);
#if defined(__linux__)
    constexpr std::uintptr_t huge_page = step;
    // Every huge page the buffer's room touches. Other memory in the first and the last takes
    // the hint as well, which changes how it is filled, never what it holds.
    const auto start = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t first = start & ~(huge_page - 1);
    const std::uintptr_t last = (start + buffer.capacity() + huge_page - 1) & ~(huge_page - 1);
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // a hint only
#endif
}

}  // namespace norvane::host
