// Runs the decoder in-process on bytes held by the test, as the program
// would on a file, and collects what it printed and wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/decoder_state.h"

using Bytes = std::vector<uint8_t>;

// Thrown by the tests' fatal stop in place of ending the process.
struct FatalStop {
    std::string line;
};

struct Outcome {
    int exit_status = 0;
    std::string trace;  // everything printed, decode-time line excluded
    bool bmp_exists = false;
    Bytes bmp;
};

// Writes `jpeg` to a temporary folder and runs the program's steps on it.
Outcome decode_bytes(const Bytes& jpeg);

// A DecoderState after init_tables whose input is `bytes`.
struct StateOnBytes {
    explicit StateOnBytes(const Bytes& bytes);
    ~StateOnBytes();
    StateOnBytes(const StateOnBytes&) = delete;
    StateOnBytes& operator=(const StateOnBytes&) = delete;
    DecoderState state;
};

// Runs `body`, returning the line of the fatal stop it made, or "" when it
// returned normally.
template <typename Body>
std::string fatal_line_of(Body&& body) {
    try {
        body();
    } catch (const FatalStop& stop) {
        return stop.line;
    }
    return "";
}

Bytes read_file(const std::string& path);
void write_file(const std::string& path, const Bytes& bytes);
std::string temp_folder();
