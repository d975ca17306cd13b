#include "core/program.h"

#include <cstdio>
#include <ctime>
#include <iostream>

#include "core/marker_walk.h"

void run_program(DecoderState& state, const std::string& base_name) {
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
