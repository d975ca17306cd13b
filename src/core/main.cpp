// The interactive program: asks for a base name, decodes name.jpg into
// name.bmp with a trace of every marker, and reports the decode time.
#include <cstdio>
#include <iostream>
#include <memory>
#include <new>
#include <string>

#include "core/fatal.h"
#include "core/platform.h"
#include "core/program.h"

int main() {
    std::printf("please insert the input file name: (without .jpg)\n");
    std::fflush(stdout);
    // No word at all leaves the name empty, and ".jpg" is reported missing.
    std::string base_name;
    std::cin >> base_name;

    // The program's own code throws nothing; the standard library's
    // allocation failure is the one exception that can reach here.
    try {
        auto state = std::make_unique<DecoderState>();
        run_program(*state, base_name);
    } catch (const std::bad_alloc&) {
        stop_out_of_memory();
    }
    console_wait();
    return 0;
}
