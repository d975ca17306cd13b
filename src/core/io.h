// Where a decode reads its JPEG bytes, writes its BMP bytes and sends its
// trace. Each comes as an interface with the kinds the programs and the
// tests use: a file (standard input and output among them), memory, and for
// the trace nothing or a string.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The JPEG stream, read in windows: the decoder asks for at most
// `capacity` bytes at a time.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `capacity` bytes into `into`; 0 once the stream has none left.
    virtual size_t read(uint8_t* into, size_t capacity) = 0;
};

// An open file, read from where it stands; the caller keeps it open. A
// read that fails ends the stream, and error() keeps the system's errno.
class FileSource final : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file_(file) {}
    size_t read(uint8_t* into, size_t capacity) override;
    int error() const { return error_; }

private:
    std::FILE* file_;
    int error_ = 0;
};

// Bytes the caller holds for the length of the decode.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    size_t read(uint8_t* into, size_t capacity) override;

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

// The BMP file. write() puts bytes after those it wrote before; a sink
// that can seek also takes bytes at any offset with write_at(), which
// leaves that position alone, so that rows finished out of order can be
// placed. `name` is what a write error reports.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual const std::string& name() const = 0;
    // Each returns false when the bytes could not be written.
    virtual bool write(const uint8_t* bytes, size_t count) = 0;
    virtual bool seekable() const { return false; }
    virtual bool write_at(uint64_t offset, const uint8_t* bytes, size_t count);
    // Drops every byte written so far, where the sink can: what a decode
    // that stops leaves of its BMP.
    virtual void discard() {}
    // The last bytes are out, and the sink takes no more.
    virtual bool close() = 0;
};

// A file opened for writing, owned from here on and written unbuffered:
// what a decode has written is in the file at any moment, also when the
// decode stops. A null file (one that could not be opened) fails every
// write. error() keeps the system's errno of the first write that failed.
class FileSink final : public ByteSink {
public:
    FileSink(std::FILE* file, std::string name);
    int error() const { return error_; }
    const std::string& name() const override { return name_; }
    bool write(const uint8_t* bytes, size_t count) override;
    bool seekable() const override;
    bool write_at(uint64_t offset, const uint8_t* bytes, size_t count) override;
    void discard() override;
    bool close() override;

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    bool failed();

    std::unique_ptr<std::FILE, Closer> file_;
    std::string name_;
    int error_ = 0;
};

// The whole BMP in memory.
class MemorySink final : public ByteSink {
public:
    explicit MemorySink(std::string name = "memory") : name_(std::move(name)) {}
    const std::string& name() const override { return name_; }
    bool write(const uint8_t* bytes, size_t count) override;
    bool seekable() const override { return true; }
    bool write_at(uint64_t offset, const uint8_t* bytes, size_t count) override;
    void discard() override {
        bytes_.clear();
        position_ = 0;
    }
    bool close() override { return true; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::string name_;
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

// The trace: whole lines, each ending in '\n' (the last may be a line
// cut short by a stop).
class TraceSink {
public:
    virtual ~TraceSink() = default;
    virtual void put(std::string_view text) = 0;
};

class NoTrace final : public TraceSink {
public:
    void put(std::string_view) override {}
};

// Lines written to a stream (standard output for the interactive program)
// as they come.
class StreamTrace final : public TraceSink {
public:
    explicit StreamTrace(std::FILE* stream) : stream_(stream) {}
    void put(std::string_view text) override;

private:
    std::FILE* stream_;
};

class StringTrace final : public TraceSink {
public:
    void put(std::string_view text) override { text_ += text; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};
