// The converter's outputs: where a path leads, and a BMP that replaces its
// output only once it is whole.
#pragma once

#include <cstdio>
#include <string>

// `path` with every symbolic link followed and made absolute; a name that
// does not exist yet is resolved through its folder.
std::string resolved_path(const std::string& path);

// Whether both paths exist and are the same file (device and inode).
bool same_existing_file(const std::string& first, const std::string& second);

// Whether `path` exists and is not a regular file (a device, a FIFO).
bool is_special_file(const std::string& path);

// A temporary file beside `target` (which it replaces on commit) that the
// process removes should it be stopped by SIGINT or SIGTERM. One at a time.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // The open file, for its writer to own and close from then on; null
    // with errno set when it could not be made.
    std::FILE* take_file() {
        std::FILE* file = file_;
        file_ = nullptr;
        return file;
    }
    // Renames the (closed) file over the target; false with errno set.
    bool commit();

private:
    std::string target_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// Removes the temporary file of a conversion the process is stopped in,
// then dies of the signal: installed for SIGINT and SIGTERM.
void remove_temporary_file_on_signals();
