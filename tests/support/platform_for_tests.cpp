// The platform layer of the in-process tests: no waiting, and a fatal stop
// that prints its line as the program does and hands control back.
#include <cstdio>

#include "core/platform.h"
#include "support/decode_run.h"

void console_wait() {}

void fatal_stop(const char* line) {
    std::fputs(line, stdout);
    throw FatalStop{line};
}
