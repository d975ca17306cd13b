#include "system/system.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>

void* map_zero_pages(size_t bytes) {
    void* mapped = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return mapped == MAP_FAILED ? nullptr : mapped;
}

void unmap_pages(void* pages, size_t bytes) { munmap(pages, bytes); }

void populate_pages(void* begin, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    madvise(begin, bytes, MADV_POPULATE_WRITE);
#else
    (void)begin, (void)bytes;
#endif
}

size_t page_size() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

#else

#include <cstdlib>

// Without mappings, zeroed memory from the C library.
void* map_zero_pages(size_t bytes) { return std::calloc(bytes, 1); }
void unmap_pages(void* pages, size_t) { std::free(pages); }
void populate_pages(void*, size_t) {}
size_t page_size() { return 4096; }

#endif
