// The program's stages against the literal reference: the same samples,
// coefficients, bytes, warnings and stream positions, on every vector path
// this processor has.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>

#include "core/byte_input.h"
#include "output/bmp.h"
#include "reference/reference_stages.h"
#include "scan/entropy.h"
#include "scan/transform.h"
#include "scan/transform_kernel.h"
#include "segments/segments.h"
#include "support/decode_run.h"
#include "support/jpeg_writer.h"

namespace {

std::vector<SimdPath> paths_here() {
    std::vector<SimdPath> paths = {SimdPath::BASELINE};
#ifdef JPEG2BMP_AVX2
    if (__builtin_cpu_supports("avx2")) paths.push_back(SimdPath::AVX2);
#endif
    return paths;
}

// Sparse, dense and extreme blocks as corrupt data can make them.
Block random_block(std::mt19937& random, int kind) {
    Block block{};
    const int nonzero = kind == 0 ? 1 + random() % 4 : kind == 1 ? 64 : 1 + random() % 64;
    for (int i = 0; i < nonzero; ++i) {
        int32_t value;
        switch (kind) {
            case 0: value = static_cast<int32_t>(random() % 2049) - 1024; break;
            case 1: value = static_cast<int32_t>(random() % 512) - 256; break;
            default: value = static_cast<int32_t>(random());  // the whole int range
        }
        block[random() % 64] = value;
    }
    if (kind == 0 && random() % 2) block = {}, block[0] = static_cast<int32_t>(random() % 4096) - 2048;
    return block;
}

// The program's inverse DCT of `block` on `path` equals the literal one.
void expect_direct_sum(SimdPath path, const Block& block) {
    const TransformTables& tables = transform_tables();
    Block program{}, literal{};
    idct_block(tables, path, block, program);
    reference::idct_block(tables, block, literal);
    ASSERT_EQ(program, literal);
}

TEST(Differential, InverseDctEqualsTheDirectSumOnEveryPath) {
    for (SimdPath path : paths_here()) {
        std::mt19937 random(11);
        for (int i = 0; i < 6000; ++i) {
            SCOPED_TRACE(i);
            expect_direct_sum(path, random_block(random, i % 3));
        }
        // Every DC value a baseline block can hold, alone.
        for (int32_t dc = -2048 * 255; dc <= 2048 * 255; dc += 37) {
            SCOPED_TRACE(dc);
            Block block{};
            block[0] = dc;
            expect_direct_sum(path, block);
        }
        for (int32_t extreme : {INT_MAX, INT_MIN, INT_MAX / 2, INT_MIN + 1}) {
            Block block;
            block.fill(extreme);
            expect_direct_sum(path, block);
        }
    }
}

// Blocks of eight coefficients, two of them searched so that some sample's
// sum lies within 10^-4 of a multiple of 4: there the single-precision
// estimate can round to the other side, and only the direct sum decides.
std::vector<Block> blocks_near_a_tie() {
    const TransformTables& t = transform_tables();
    std::vector<Block> found;
    Block block{};
    // The coefficient of frequencies (u, v) at place 8 v + u.
    const auto at = [&](int u, int v) -> int32_t& { return block[8 * v + u]; };
    at(0, 0) = 344;
    at(0, 1) = -57, at(2, 0) = 31, at(1, 1) = 12, at(0, 2) = -9, at(3, 1) = 5, at(2, 2) = -3;
    for (int32_t a = -200; a <= 200 && found.size() < 400; ++a) {
        for (int32_t b = -200; b <= 200 && found.size() < 400; ++b) {
            at(1, 0) = a, at(0, 3) = b;
            bool near = false;
            for (int x = 0; x < 8 && !near; ++x) {
                for (int y = 0; y < 8 && !near; ++y) {
                    double sum = 0;
                    for (int u = 0; u < 8; ++u)
                        for (int v = 0; v < 8; ++v)
                            sum += t.weight_factors[8 * v + u] * at(u, v) * t.cos_table[x][u] * t.cos_table[y][v];
                    near = std::abs(sum / 4 - std::round(sum / 4)) < 1e-4;
                }
            }
            if (near) found.push_back(block);
        }
    }
    return found;
}

TEST(Differential, InverseDctNearATieEqualsTheDirectSum) {
    const std::vector<Block> blocks = blocks_near_a_tie();
    ASSERT_GE(blocks.size(), 100u);
    for (SimdPath path : paths_here())
        for (const Block& block : blocks) expect_direct_sum(path, block);
}

TEST(Differential, SeparableEstimateLeavesExactTiesToTheDirectSum) {
    // A DC value that is a multiple of 8 puts every sum at a multiple of 4.
    const TransformTables& tables = transform_tables();
    for (int32_t dc = -2048 * 8; dc <= 2048 * 8; dc += 8) {
        if (dc == 0) continue;
        Block block{}, samples{};
        block[0] = dc;
        double weight[BLOCK_SIZE];
        const double magnitude = block_weights<Double2>(tables, block, weight);
        ASSERT_EQ(separable_samples<Float4>(tables, weight, magnitude, samples), ~uint64_t{0}) << "DC " << dc;
    }
}

TEST(Differential, DequantizationEqualsTheReferenceOnEveryPath) {
    for (SimdPath path : paths_here()) {
        std::mt19937 random(5);
        QuantTable table;
        for (int i = 0; i < 2000; ++i) {
            // 8-bit and 16-bit tables: products past 32 bits wrap, the DC
            // one's across its whole range.
            for (auto& entry : table) entry = 1 + static_cast<int32_t>(random() % (i % 2 ? 255 : 65535));
            const Block block = random_block(random, i % 3);
            AcBlock ac;
            for (int k = 0; k < BLOCK_SIZE; ++k) ac[k] = static_cast<int16_t>(block[k]);
            Block literal;
            for (int k = 0; k < BLOCK_SIZE; ++k) literal[k] = ac[k];
            literal[0] = block[0];
            reference::dequantize_block(table, literal);
            Block program;
            dequantize_block(block_quant(table), path, ac, block[0], program);
            ASSERT_EQ(program, literal) << "block " << i;
        }
    }
}

// A picture's planes with random samples and the given factors.
Picture random_picture(std::mt19937& random, int32_t width, int32_t height,
                       const std::vector<FrameComponent>& components) {
    return picture_of(width, height, components,
                      [&](size_t, int32_t, int32_t) { return static_cast<int32_t>(random() % 256); });
}

Bytes literal_bmp_of(const Picture& picture) {
    MemorySink bmp;
    reference::write_bmp(picture, bmp);
    return bmp.bytes();
}

TEST(Differential, BmpEqualsThePixelByPixelWriterOnEveryPath) {
    const std::vector<std::vector<FrameComponent>> layouts = {
        {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, {{1, 2, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}},
        {{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, {{1, 4, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}},
        {{1, 1, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, {{1, 4, 4, 0}, {2, 2, 1, 0}, {3, 1, 4, 0}},
        {{1, 3, 3, 0}, {2, 1, 3, 0}, {3, 3, 1, 0}}, {{1, 1, 1, 0}},
    };
    std::mt19937 random(9);
    for (SimdPath path : paths_here()) {
        for (const auto& layout : layouts) {
            for (auto size : {std::pair{1, 1}, std::pair{5, 2}, std::pair{37, 23}, std::pair{64, 3}, std::pair{0, 4}}) {
                const Picture picture = random_picture(random, size.first, size.second, layout);
                ASSERT_EQ(bmp_of(picture, path), literal_bmp_of(picture)) << size.first << "x" << size.second;
            }
        }
    }
}

TEST(Differential, BmpInManyBandsEqualsThePixelByPixelWriter) {
    // Bands of 16 lines placed bottom-up, the last one part full.
    std::mt19937 random(4);
    for (const SimdPath path : {SimdPath::BASELINE, paths_here().back()}) {
        for (const auto& layout : {std::vector<FrameComponent>{{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}},
                                   std::vector<FrameComponent>{{1, 1, 1, 0}}}) {
            const Picture picture = random_picture(random, 701, 1043, layout);
            ASSERT_EQ(bmp_of(picture, path), literal_bmp_of(picture));
        }
    }
}

// What decoding a stream of blocks leaves: every block's coefficients and
// predictor, the warning it stopped with, and where the input stands.
struct BlockRun {
    std::vector<Block> blocks;
    std::string warning;
    uint64_t offset = 0;
    bool operator==(const BlockRun&) const = default;
};

// The literal decoder, and the program's into 32-bit blocks and into 16-bit
// AC coefficients.
enum class BlockDecoder { LITERAL, PROGRAM, PROGRAM_16_BIT };

BlockRun decode_blocks(const Bytes& tables_and_data, int count, BlockDecoder decoder,
                       const CoefficientLimits& limits = BASELINE_LIMITS) {
    const bool literal = decoder == BlockDecoder::LITERAL;
    BlockRun run;
    DecodeOn on(tables_and_data);
    HuffmanTables& huffman = on.decode.huffman;
    const std::string table_warning = fatal_line_of([&] {
        for (int i = 0; i < 2; ++i) {
            read_byte(on.input), read_byte(on.input);
            read_dht(on.input, on.trace, Walk::BASELINE, huffman);
        }
    });
    if (!table_warning.empty()) return run;
    reference::BitState literal_bits;
    BitReader bits(on.input);
    int32_t pred = 0;
    Block coefficients{};
    run.warning = fatal_line_of([&] {
        for (int i = 0; i < count; ++i) {
            if (literal)
                reference::decode_block(on.input, literal_bits, *huffman.trees[0][0], *huffman.trees[1][0], pred,
                                        coefficients, limits);
            else if (decoder == BlockDecoder::PROGRAM)
                decode_block(bits, *huffman.trees[0][0], *huffman.trees[1][0], pred, coefficients, limits);
            else {
                AcBlock ac;
                decode_block(bits, *huffman.trees[0][0], *huffman.trees[1][0], pred, ac, limits);
                for (int k = 0; k < 64; ++k) coefficients[k] = k == 0 ? pred : ac[k];
            }
            Block with_pred = coefficients;
            with_pred[0] ^= pred;  // both are recorded
            run.blocks.push_back(with_pred);
        }
        if (!literal) finish_scan_bits(bits);
    });
    // Where the input stands counts only where the scan ended well: a
    // warning ends the decode.
    if (run.warning.empty()) run.offset = input_offset(on.input);
    return run;
}

// Tables, then entropy-coded data, as one stream.
Bytes with_tables(const HuffmanSpec& dc, const HuffmanSpec& ac, const Bytes& data) {
    JpegWriter jpeg;
    jpeg.dht(0x00, dc).dht(0x10, ac).bytes(data);
    return jpeg.data();
}

Bytes random_scan(std::mt19937& random, int blocks) {
    const CodeBook dc = code_book(DC_LUMINANCE), ac = code_book(AC_LUMINANCE);
    BitWriter out;
    int pred = 0;
    for (int b = 0; b < blocks; ++b) {
        ZigzagBlock block{};
        const int dense = static_cast<int>(random() % 64);
        // Large coefficients, or the small ones whose codes come two to a
        // lookup, up to the block's last place and its end.
        const int largest = random() % 2 ? 1023 : 1 + static_cast<int>(random() % 3);
        for (int k = 0; k < 64; ++k)
            if (static_cast<int>(random() % 64) < dense)
                block[k] = static_cast<int>(random() % (2 * largest + 1)) - largest;
        encode_block(out, block, pred, dc, ac);
    }
    return out.finish();
}

void expect_same_decoding(const Bytes& stream, int blocks, const CoefficientLimits& limits = BASELINE_LIMITS) {
    const BlockRun program = decode_blocks(stream, blocks, BlockDecoder::PROGRAM, limits);
    const BlockRun literal = decode_blocks(stream, blocks, BlockDecoder::LITERAL, limits);
    ASSERT_TRUE(decode_blocks(stream, blocks, BlockDecoder::PROGRAM_16_BIT, limits) == program);
    ASSERT_EQ(program.warning, literal.warning);
    ASSERT_EQ(program.offset, literal.offset);
    ASSERT_EQ(program.blocks.size(), literal.blocks.size());
    for (size_t i = 0; i < program.blocks.size(); ++i) ASSERT_EQ(program.blocks[i], literal.blocks[i]) << "block " << i;
}

TEST(Differential, EntropyDecodingEqualsTheBitSerialWalk) {
    std::mt19937 random(21);
    for (int i = 0; i < 300; ++i) {
        const int blocks = 1 + static_cast<int>(random() % 12);
        const Bytes data = random_scan(random, blocks);
        SCOPED_TRACE(i);
        expect_same_decoding(with_tables(DC_LUMINANCE, AC_LUMINANCE, data), 13);  // runs past its end
        // Ends well, with bytes after it (0xFF often) that the walk gets back.
        Bytes followed = data;
        for (int extra = static_cast<int>(random() % 12); extra > 0; --extra)
            followed.push_back(static_cast<uint8_t>(random() % 3 == 0 ? 0xFF : random()));
        expect_same_decoding(with_tables(DC_LUMINANCE, AC_LUMINANCE, followed), blocks);
        for (int cut = 0; cut < 3; ++cut) {
            Bytes corrupt = data;
            corrupt.resize(random() % (data.size() + 1));
            expect_same_decoding(with_tables(DC_LUMINANCE, AC_LUMINANCE, corrupt), 13);
            corrupt = data;
            for (int flips = 0; flips < 3 && !corrupt.empty(); ++flips)
                corrupt[random() % corrupt.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
            expect_same_decoding(with_tables(DC_LUMINANCE, AC_LUMINANCE, corrupt), 13);
        }
    }
}

TEST(Differential, EntropyDecodingAcrossInputBufferRefills) {
    // Dense blocks for more than one input buffer: the reader crosses its
    // refills, 0xFF bytes included.
    std::mt19937 random(8);
    const CodeBook dc = code_book(DC_LUMINANCE), ac = code_book(AC_LUMINANCE);
    BitWriter out;
    int pred = 0;
    int blocks = 0;
    for (; out.size() < ByteInput::CAPACITY + ByteInput::CAPACITY / 4; ++blocks) {
        ZigzagBlock block{};
        for (auto& coefficient : block) coefficient = static_cast<int>(random() % 255) - 127;
        encode_block(out, block, pred, dc, ac);
    }
    Bytes data = out.finish();
    data.insert(data.end(), {0xFF, 0xD9});
    const Bytes stream = with_tables(DC_LUMINANCE, AC_LUMINANCE, data);
    ASSERT_EQ(decode_blocks(stream, blocks, BlockDecoder::PROGRAM).warning, "");
    expect_same_decoding(stream, blocks);
}

TEST(Differential, EntropyDecodingOfRandomTablesAndBytes) {
    std::mt19937 random(33);
    for (int i = 0; i < 3000; ++i) {
        // Random counts (often overfilled or sparse), random symbols, random data.
        HuffmanSpec dc, ac;
        for (HuffmanSpec* spec : {&dc, &ac}) {
            int total = 0;
            for (auto& count : spec->counts) {
                count = static_cast<uint8_t>(random() % 5 == 0 ? random() % 6 : 0);
                total += count;
            }
            for (int s = 0; s < total; ++s)
                spec->symbols.push_back(static_cast<uint8_t>(spec == &dc ? random() % (i % 7 == 0 ? 256 : 16) : random()));
        }
        Bytes data(random() % 40);
        for (auto& byte : data) byte = static_cast<uint8_t>(random() % 4 == 0 ? 0xFF : random());
        SCOPED_TRACE(i);
        expect_same_decoding(with_tables(dc, ac, data), 8);
        // The extended walk's limits: DC categories above 11, AC sizes above 10.
        expect_same_decoding(with_tables(dc, ac, data), 8, EXTENDED_LIMITS);
    }
}

}  // namespace
