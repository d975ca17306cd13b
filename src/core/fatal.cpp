#include "core/fatal.h"

#include <cstdarg>
#include <cstdio>

#include "core/platform.h"

void fatal_warning(const char* format, ...) {
    // Every warning of the program is one short line; a longer one (a file
    // name in it) is cut rather than overrun.
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    fatal_stop(line);
}

void stop_at_end_of_file() { fatal_stop("Warning! unexpected end of file\n"); }

void stop_out_of_memory() { fatal_stop("Warning! out of memory\n"); }
