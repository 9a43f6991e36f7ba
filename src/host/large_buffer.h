// Buffers the size of profile.dat (10 MB at 100,000 profiles), which a command reads and writes
// a few times. Taken afresh, such a buffer's memory costs a page fault for every 4 KiB written
// to it the first time: some 30 ms of CPU time for 10 MB on a virtual machine, more than all
// the rest of the command.
#pragma once

#include <cstddef>
#include <string>

namespace norvane::host {

// Sets the process's allocator up to keep large blocks, once, first thing in the program's
// entry point. On Linux a block of 10 MB is otherwise mapped afresh for every buffer and handed
// back when freed, so that each buffer pays its page faults again; kept on the heap, a freed
// buffer's pages serve the next one. Nothing to do on Windows.
void keep_large_blocks();

// Gives the buffer room for size bytes. A large one (4 MiB and more) gets its room in whole
// steps of 2 MiB, so that the buffers of one file are blocks of one size, and its memory is
// asked to be backed by huge pages where the system offers them, so that filling it costs a
// fault for every 2 MiB; elsewhere, and for a small one, this is reserve.
void reserve_large(std::string& buffer, std::size_t size);

}  // namespace norvane::host
