// The time of each stage on its own: entropy decoding, dequantization, the
// inverse DCT and the colour conversion, with the literal reference beside
// the program's stages.
#include <benchmark/benchmark.h>

#include <random>

#include "output/bmp.h"
#include "reference/reference_stages.h"
#include "core/byte_input.h"
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
        block[0] = static_cast<int32_t>(random() % 2000) - 1000;
        for (int i = 1; i < nonzero; ++i) {
            const uint32_t u = random() % 8, v = random() % 8;
            block[8 * v + u] = static_cast<int32_t>(random() % 200) - 100;
        }
    }
    return blocks;
}

void transform(benchmark::State& run, void (*idct)(const TransformTables&, const Block&, Block&), int nonzero) {
    const TransformTables& tables = transform_tables();
    const std::vector<Block> blocks = random_blocks(nonzero);
    Block samples{};
    size_t i = 0;
    for (auto _ : run) {
        idct(tables, blocks[i++ % blocks.size()], samples);
        benchmark::DoNotOptimize(samples);
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
    const BlockQuant quant = block_quant(QuantTables().tables[0]);
    std::vector<AcBlock> blocks;
    for (const Block& block : random_blocks(45)) {
        AcBlock& ac = blocks.emplace_back();
        for (int k = 0; k < BLOCK_SIZE; ++k) ac[k] = static_cast<int16_t>(block[k]);
    }
    const SimdPath simd = best_simd_path();
    Block coefficients{};
    size_t i = 0;
    for (auto _ : run) {
        const AcBlock& ac = blocks[i++ % blocks.size()];
        dequantize_block(quant, simd, ac, ac[0], coefficients);
        benchmark::DoNotOptimize(coefficients);
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
        for (int k = 0; k < 64; ++k) block[k] = blocks[next % blocks.size()][ZIGZAG[k]] / 4;
        ++next;
        return block;
    });
    JpegWriter tables;
    tables.dht(0x00, DC_LUMINANCE).dht(0x10, AC_LUMINANCE);
    Bytes bytes(tables.data().begin() + 2, tables.data().end());
    bytes.insert(bytes.end(), scan.begin(), scan.end());
    for (auto _ : run) {
        run.PauseTiming();
        DecodeOn on(bytes);
        HuffmanTables& huffman = on.decode.huffman;
        read_dht(on.input, on.trace, Walk::BASELINE, huffman);
        read_byte(on.input), read_byte(on.input);
        read_dht(on.input, on.trace, Walk::BASELINE, huffman);
        run.ResumeTiming();
        int32_t pred = 0;
        reference::BitState literal_bits;
        BitReader bits(on.input);
        Block coefficients{};
        for (int block = 0; block < 64 * 64; ++block) {
            if (literal)
                reference::decode_block(on.input, literal_bits, *huffman.trees[0][0], *huffman.trees[1][0], pred,
                                        coefficients);
            else
                decode_block(bits, *huffman.trees[0][0], *huffman.trees[1][0], pred, coefficients);
        }
        benchmark::DoNotOptimize(coefficients);
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
