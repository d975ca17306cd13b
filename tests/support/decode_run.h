// Runs the decoder in-process on bytes held by the test, from memory to
// memory, and collects what it traced and wrote.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/decode.h"
#include "core/decode_error.h"
#include "core/decoder.h"

using Bytes = std::vector<uint8_t>;

struct Outcome {
    int exit_status = 0;  // the interactive program's: 1 for a failed decode
    std::string trace;    // a failed decode's warning line last, as the program prints it
    Bytes bmp;
    DecodeResult::End end = DecodeResult::End::FINISHED;
};

Outcome decode_bytes(const Bytes& jpeg, const DecodeOptions& options = {});

// A decode record over `bytes`, for the tests of its parts.
struct DecodeOn {
    explicit DecodeOn(const Bytes& bytes, const DecodeOptions& options = {});
    DecodeOn(const DecodeOn&) = delete;
    DecodeOn& operator=(const DecodeOn&) = delete;

    Bytes bytes;
    MemorySource source;
    MemorySink bmp;
    StringTrace trace;
    Decode decode;
    ByteInput& input = decode.input;
};

// The planes of a width x height picture of the given factors, a block
// larger each way than the writer reads, each sample from `sample`(plane,
// x, y).
Picture picture_of(int32_t width, int32_t height, const std::vector<FrameComponent>& components,
                   const std::function<int32_t(size_t, int32_t, int32_t)>& sample);

// The BMP that the writer makes of `picture`, into memory.
Bytes bmp_of(const Picture& picture, SimdPath simd = best_simd_path());

// Runs `body`, returning the warning line of the DecodeError it threw, or
// "" when it returned normally.
template <typename Body>
std::string fatal_line_of(Body&& body) {
    try {
        body();
    } catch (const DecodeError& stop) {
        return stop.line;
    }
    return "";
}

Bytes read_file(const std::string& path);
void write_file(const std::string& path, const Bytes& bytes);
std::string temp_folder();
