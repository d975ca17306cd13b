// The time of each stage on its own: entropy decoding, dequantization, the
// inverse DCT and the colour conversion, with the literal reference beside
// the program's stages.
#include <benchmark/benchmark.h>

#include <gtest/gtest.h>

#include <random>

#include "output/bmp.h"
#include "reference/reference_stages.h"
#include "core/input.h"
#include "scan/entropy.h"
#include "scan/transform.h"
#include "segments/segments.h"
#include "support/decode_run.h"
#include "support/jpeg_writer.h"

namespace {

// Blocks with `nonzero` random coefficients of a photo's magnitudes.
std::vector<Block> random_blocks(int nonzero) {
    std::mt19937 random(7);
    std::vector<Block> blocks(256);
    for (Block& block : blocks) {
        block = {};
        block[0][0] = static_cast<int32_t>(random() % 2000) - 1000;
        for (int i = 1; i < nonzero; ++i) block[random() % 8][random() % 8] = static_cast<int32_t>(random() % 200) - 100;
    }
    return blocks;
}

void transform(benchmark::State& run, void (*idct)(DecoderState&), int nonzero) {
    DecoderState state;
    init_tables(state);
    const std::vector<Block> blocks = random_blocks(nonzero);
    size_t i = 0;
    for (auto _ : run) {
        state.coef_block = blocks[i++ % blocks.size()];
        idct(state);
        benchmark::DoNotOptimize(state.sample_block);
    }
    run.SetItemsProcessed(run.iterations());
}

void idct_reference(benchmark::State& run) { transform(run, reference::idct_block, static_cast<int>(run.range(0))); }
void idct_baseline(benchmark::State& run) { transform(run, idct_block_baseline, static_cast<int>(run.range(0))); }
BENCHMARK(idct_reference)->Arg(1)->Arg(45);
BENCHMARK(idct_baseline)->Arg(1)->Arg(3)->Arg(6)->Arg(10)->Arg(14)->Arg(20)->Arg(45);
#ifdef JPEG2BMP_AVX2
void idct_avx2(benchmark::State& run) { transform(run, idct_block_avx2, static_cast<int>(run.range(0))); }
BENCHMARK(idct_avx2)->Arg(1)->Arg(3)->Arg(6)->Arg(10)->Arg(14)->Arg(20)->Arg(45);
#endif

void dequantize(benchmark::State& run) {
    DecoderState state;
    init_tables(state);
    const std::vector<Block> blocks = random_blocks(45);
    size_t i = 0;
    for (auto _ : run) {
        state.coef_block = blocks[i++ % blocks.size()];
        dequantize_block(state, 0);
        benchmark::DoNotOptimize(state.coef_block);
    }
}
BENCHMARK(dequantize);

// A scan of dense blocks through the program's decoder or the reference's.
void entropy(benchmark::State& run, bool literal) {
    const std::vector<Block> blocks = random_blocks(45);
    const std::vector<ComponentSpec> grey = {{1, 1, 1, 0}};
    int next = 0;
    const Bytes scan = encode_scan_data(512, 512, grey, [&](int, int, int) {
        ZigzagBlock block{};
        for (int k = 0; k < 64; ++k) block[k] = blocks[next % blocks.size()][k / 8][k % 8] / 4;
        ++next;
        return block;
    });
    JpegWriter tables;
    tables.dht(0x00, DC_LUMINANCE).dht(0x10, AC_LUMINANCE);
    Bytes bytes(tables.data().begin() + 2, tables.data().end());
    bytes.insert(bytes.end(), scan.begin(), scan.end());
    for (auto _ : run) {
        run.PauseTiming();
        StateOnBytes input(bytes);
        DecoderState& state = input.state;
        testing::internal::CaptureStdout();  // the tables' trace
        read_dht(state);
        read_byte(state), read_byte(state);
        read_dht(state);
        testing::internal::GetCapturedStdout();
        run.ResumeTiming();
        int32_t pred = 0;
        reference::BitState bits;
        for (int block = 0; block < 64 * 64; ++block) {
            if (literal)
                reference::decode_block(state, bits, *state.huffman_trees[0][0], *state.huffman_trees[1][0], pred);
            else
                decode_block(state, *state.huffman_trees[0][0], *state.huffman_trees[1][0], pred);
        }
    }
    run.SetItemsProcessed(run.iterations() * 64 * 64);
}
void entropy_reference(benchmark::State& run) { entropy(run, true); }
void entropy_program(benchmark::State& run) { entropy(run, false); }
BENCHMARK(entropy_reference);
BENCHMARK(entropy_program);

void colour(benchmark::State& run, SimdPath simd) {
    std::vector<int32_t> y(4096), cb(4096), cr(4096);
    std::mt19937 random(3);
    for (size_t i = 0; i < y.size(); ++i) y[i] = random() % 256, cb[i] = random() % 256, cr[i] = random() % 256;
    std::vector<uint8_t> bgr(3 * y.size());
    for (auto _ : run) {
        convert_line(simd, y.data(), {cb.data(), 1}, {cr.data(), 1}, 4096, bgr.data());
        benchmark::DoNotOptimize(bgr.data());
    }
    run.SetItemsProcessed(run.iterations() * 4096);
}
void colour_baseline(benchmark::State& run) { colour(run, SimdPath::BASELINE); }
BENCHMARK(colour_baseline);
#ifdef JPEG2BMP_AVX2
void colour_avx2(benchmark::State& run) { colour(run, SimdPath::AVX2); }
BENCHMARK(colour_avx2);
#endif

}  // namespace

BENCHMARK_MAIN();
