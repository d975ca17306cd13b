// Writes a detailed 4:2:2 test picture of the given size, for timing.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "support/jpeg_writer.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_bench_picture WIDTH HEIGHT OUT.jpg\n");
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    // Random coefficients, dense at low frequencies, as in a detailed photo.
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, static_cast<int>((seed >> 16) & 0x7FFF); };
    const Bytes file = encode_blocks(width, height, {{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, [&](int, int, int) {
        ZigzagBlock block{};
        block[0] = next() % 200 - 100;
        for (int k = 1; k < 64; ++k)
            if (next() % 64 > k / 2) block[k] = next() % 21 - 10;
        return block;
    }, flat_table(2), flat_table(3));
    write_file(argv[3], file);
    return 0;
}
