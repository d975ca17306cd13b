// Runs the built program as a user would: in a folder, with the base name
// typed on standard input through a pipe.
#pragma once

#include <string>

struct BinaryRun {
    int exit_status = -1;  // -1: ended by a signal
    std::string output;
};

BinaryRun run_binary(const std::string& folder, const std::string& typed);

// The same with another build of the program, after the shell commands
// `setup` (a limit, say: "ulimit -f 100").
BinaryRun run_binary_at(const std::string& program, const std::string& folder, const std::string& typed,
                        const std::string& setup = "true");

// `output` without the prompt line, cut before the blank line of the time
// report; `timed` tells whether that report was there.
struct SplitOutput {
    std::string prompt;
    std::string trace;
    bool timed = false;
};
SplitOutput split_output(const std::string& output);

// The converter run in `folder` with `arguments` (shell words, quoted by
// the caller), standard input from `input` (a path; /dev/null by default)
// and standard output to `output` (a path; captured in `out` when empty).
struct CommandRun {
    int exit_status = -1;  // 128 + the signal's number for one that died of it
    std::string out;
    std::string err;
};
CommandRun run_converter(const std::string& folder, const std::string& arguments,
                         const std::string& input = "/dev/null", const std::string& output = "",
                         const std::string& setup = "true");

// `text` quoted for the shell.
std::string shell_quoted(const std::string& text);
