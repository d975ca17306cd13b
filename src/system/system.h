// The system calls the decoder makes, each behind one small function in a
// file of its own, so that the rest of the library is plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// mapped_memory.cpp: zero pages from the system, given on first touch;
// null when the system refuses.
void* map_zero_pages(size_t bytes);
void unmap_pages(void* pages, size_t bytes);
// Asks for the pages of [begin, begin + bytes) at once rather than a fault
// per page; a hint the system may refuse.
void populate_pages(void* begin, size_t bytes);
size_t page_size();

// processors.cpp: the processors this process may run on.
int usable_processors();

// file_output.cpp: whether `file` is a regular file, which takes writes at
// any offset, and such a write, which leaves the stream's position alone.
bool is_regular_file(std::FILE* file);
bool write_at_offset(std::FILE* file, uint64_t offset, const uint8_t* bytes, size_t count);
// Cuts a regular file to nothing; the stream's position is left alone.
void truncate_file(std::FILE* file);
