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
    buffer.reserve(size);
#if defined(__linux__)
    constexpr std::uintptr_t huge_page = 2 * 1024 * 1024;
    if (buffer.capacity() < 2 * huge_page) {
        return;
    }
    // Every huge page the buffer's room touches: a large block is mapped on its own from a
    // huge page's boundary, its bookkeeping in front of the buffer, so that the first and last
    // huge page are the block's too. What else may share them takes the hint as well, which
    // changes how its memory is filled, never what it holds.
    const auto start = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t first = start & ~(huge_page - 1);
    const std::uintptr_t last = (start + buffer.capacity() + huge_page - 1) & ~(huge_page - 1);
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // a hint only
#endif
}

}  // namespace norvane::host
