// The interactive program: asks for a base name, decodes name.jpg into
// name.bmp with a trace of every marker, and reports the decode time.
#include <cstdio>
#include <ctime>
#include <iostream>
#include <new>
#include <string>

#include "core/decoder_state.h"
#include "core/fatal.h"
#include "core/marker_walk.h"
#include "core/platform.h"

namespace {

void decode(DecoderState& state, const std::string& base_name) {
    state.jpg_name = base_name + ".jpg";
    state.bmp_name = base_name + ".bmp";

    const std::clock_t start = std::clock();
    init_tables(state);

    state.in_file = std::fopen(state.jpg_name.c_str(), "rb");
    if (!state.in_file) {
        std::cout << "open file error :" << state.jpg_name << std::endl;
        return;
    }
    // Created (or truncated) before any decoding: a run that stops early
    // leaves it empty.
    state.out_file = std::fopen(state.bmp_name.c_str(), "wb");
    if (!state.out_file) {
        std::cout << "write file error :" << state.bmp_name << std::endl;
        return;
    }

    walk_markers(state);

    std::fclose(state.in_file);
    state.in_file = nullptr;
    const std::clock_t ticks = std::clock() - start;
    std::printf("\nN58203167: Dec_Speed: %f\n", static_cast<double>(ticks) * 1000.0 / CLOCKS_PER_SEC);
}

}  // namespace

int main() {
    std::printf("please insert the input file name: (without .jpg)\n");
    std::fflush(stdout);
    // No word at all leaves the name empty, and ".jpg" is reported missing.
    std::string base_name;
    std::cin >> base_name;

    try {
        // One state for the whole run; it is large, so it lives on the heap.
        auto state = std::make_unique<DecoderState>();
        decode(*state, base_name);
    } catch (const std::bad_alloc&) {
        stop_out_of_memory();
    }
    console_wait();
    return 0;
}
