// The one exception of the decoder: a decode that cannot go on, with the
// warning line that says why. It is thrown where the fault is met and
// caught at the decoder's interface (decode_jpeg), which returns the line;
// it never leaves the library.
#pragma once

#include <string>
#include <utility>

struct DecodeError {
    std::string line;
};

[[noreturn]] inline void fail(std::string line) { throw DecodeError{std::move(line)}; }
