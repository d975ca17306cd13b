// Warnings that stop the program.
#pragma once

// Formats one warning line with printf rules and makes the fatal stop with
// it: the line, the wait for a key, exit status 1.
[[noreturn]] void fatal_warning(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The stop for a byte that the input does not have.
[[noreturn]] void stop_at_end_of_file();

// The stop for an allocation that the system refused.
[[noreturn]] void stop_out_of_memory();
