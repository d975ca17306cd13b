#include "system/system.h"

#if defined(__unix__) || defined(__APPLE__)
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool is_regular_file(std::FILE* file) {
    struct stat status;
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

bool write_at_offset(std::FILE* file, uint64_t offset, const uint8_t* bytes, size_t count) {
    const int descriptor = fileno(file);
    while (count > 0) {
        const ssize_t written = pwrite(descriptor, bytes, count, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<size_t>(written);
        offset += static_cast<uint64_t>(written);
    }
    return true;
}

void truncate_file(std::FILE* file) {
    while (ftruncate(fileno(file), 0) != 0 && errno == EINTR) {
    }
}

#else

bool is_regular_file(std::FILE*) { return false; }
bool write_at_offset(std::FILE*, uint64_t, const uint8_t*, size_t) { return false; }
void truncate_file(std::FILE*) {}

#endif
