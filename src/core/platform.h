// The two calls through which the decoder reaches the console. They are
// defined apart from the decoding code, so that a test or a fuzz target
// can link its own: a wait that does nothing, a fatal stop that hands
// control back by throwing. The decoding code is therefore built without
// `noexcept` promises on the paths that lead here.
#pragma once

// Waits for a key press, as the console command "pause" does.
void console_wait();

// Prints `line` on standard output, waits for a key and ends the process
// with exit status 1.
[[noreturn]] void fatal_stop(const char* line);
