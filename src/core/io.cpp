#include "core/io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "system/system.h"

size_t FileSource::read(uint8_t* into, size_t capacity) {
    const size_t count = std::fread(into, 1, capacity, file_);
    if (count == 0 && std::ferror(file_) && error_ == 0) error_ = errno != 0 ? errno : EIO;
    return count;
}

size_t MemorySource::read(uint8_t* into, size_t capacity) {
    const size_t count = bytes_.size() - pos_ < capacity ? bytes_.size() - pos_ : capacity;
    if (count > 0) std::memcpy(into, bytes_.data() + pos_, count);
    pos_ += count;
    return count;
}

bool ByteSink::write_at(uint64_t, const uint8_t*, size_t) { return false; }

FileSink::FileSink(std::FILE* file, std::string name) : file_(file), name_(std::move(name)) {
    // Nothing has gone through the stream yet, as setvbuf needs. Each write
    // is large (a batch of rows), so the stream's own buffer would only copy
    // every byte once more.
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
}

bool FileSink::failed() {
    if (error_ == 0) error_ = errno != 0 ? errno : EIO;
    return false;
}

bool FileSink::write(const uint8_t* bytes, size_t count) {
    if (!file_) return failed();
    errno = 0;
    return count == 0 || std::fwrite(bytes, 1, count, file_.get()) == count || failed();
}

bool FileSink::seekable() const { return file_ && is_regular_file(file_.get()); }

bool FileSink::write_at(uint64_t offset, const uint8_t* bytes, size_t count) {
    errno = 0;
    return (file_ && write_at_offset(file_.get(), offset, bytes, count)) || failed();
}

void FileSink::discard() {
    if (file_ && is_regular_file(file_.get())) truncate_file(file_.get());
}

bool FileSink::close() {
    std::FILE* file = file_.release();
    errno = 0;
    return (file && std::fclose(file) == 0) || failed();
}

bool MemorySink::write(const uint8_t* bytes, size_t count) {
    write_at(position_, bytes, count);
    position_ += count;
    return true;
}

bool MemorySink::write_at(uint64_t offset, const uint8_t* bytes, size_t count) {
    if (offset + count > bytes_.size()) bytes_.resize(static_cast<size_t>(offset + count));
    std::copy(bytes, bytes + count, bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

void StreamTrace::put(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream_); }
