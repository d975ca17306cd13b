// The scan: header checks, the component map, the planes and the MCU walk,
// and the entropy decoding of its blocks.
#include <gtest/gtest.h>

#include <tuple>

#include "core/byte_input.h"
#include "core/marker_walk.h"
#include "scan/entropy.h"
#include "segments/segments.h"
#include "support/decode_run.h"
#include "support/jpeg_writer.h"

namespace {

const std::vector<ComponentSpec> YCC_444 = {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
const std::vector<ComponentSpec> YCC_420 = {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};

// The whole walk in-process, keeping the record to look at its planes.
struct Decoded {
    explicit Decoded(const Bytes& file, bool second_thread = true) : on(file, DecodeOptions{.second_thread = second_thread}) {
        fatal = fatal_line_of([&] { walk_markers(on.decode); });
        trace = on.trace.text();
    }
    const ComponentPlane& plane(size_t c) const { return on.decode.picture.planes.at(c); }
    int32_t sample(size_t c, int32_t x, int32_t y) const { return plane(c).row(y)[x]; }
    DecodeOn on;
    std::string fatal;
    std::string trace;
};

// A DC-only block of value 8 k decodes to 128 + k: each block can carry its
// own position.
ZigzagBlock marker_block(int k) { return dc_block(8 * k); }

// The lines from "Start of Scan" to the end.
std::string scan_trace(const std::string& trace) { return trace.substr(trace.find("Start of Scan\n")); }

TEST(ScanWalk, Ycc420SixteenSquareIsOneMcuOfSixBlocksInOrder) {
    const Bytes file = encode_blocks(16, 16, YCC_420, [](int c, int bx, int by) {
        return marker_block(c == 0 ? 1 + bx + 2 * by : 10 * c);
    });
    const Decoded decoded(file);
    EXPECT_EQ(decoded.fatal, "");
    EXPECT_EQ(scan_trace(decoded.trace),
              "Start of Scan\nindex[0] = 0\nindex[1] = 1\nindex[2] = 2\nH_max = 2 V_max = 2\n"
              "size of frame 0 = 16x16\nsize of frame 1 = 8x8\nsize of frame 2 = 8x8\nwrite to file .......\n"
              "End of image\n");
    // Offsets (0, 0), (8, 0), (0, 8), (8, 8) as (column, row).
    EXPECT_EQ(decoded.sample(0, 0, 0), 129);
    EXPECT_EQ(decoded.sample(0, 8, 0), 130);
    EXPECT_EQ(decoded.sample(0, 0, 8), 131);
    EXPECT_EQ(decoded.sample(0, 15, 15), 132);
    EXPECT_EQ(decoded.sample(1, 7, 7), 138);
    EXPECT_EQ(decoded.sample(2, 0, 0), 148);
}

// Decodes a picture whose every block carries its position and checks that
// each lands where it belongs, every sample of every plane.
void expect_blocks_in_place(int width, int height, const std::vector<ComponentSpec>& components,
                            const std::string& sizes, bool worker_thread = true) {
    const auto k_of = [](int c, int bx, int by) { return (c * 31 + bx * 7 + by * 3) % 120; };
    const Decoded decoded(encode_blocks(width, height, components,
                                        [&](int c, int bx, int by) { return marker_block(k_of(c, bx, by)); }),
                          worker_thread);
    ASSERT_EQ(decoded.fatal, "");
    EXPECT_NE(decoded.trace.find(sizes), std::string::npos) << decoded.trace;
    // The planes hold only the rows in flight: the BMP shows where each
    // block went.
    std::vector<FrameComponent> frame_components;
    for (const ComponentSpec& c : components) frame_components.push_back({c.label, c.H, c.V, c.Tq});
    const Picture expected = picture_of(width, height, frame_components, [&](size_t c, int32_t x, int32_t y) {
        return 128 + k_of(static_cast<int>(c), x / 8, y / 8);
    });
    const Bytes bmp = decoded.on.bmp.bytes();
    ASSERT_EQ(bmp.size(), bmp_of(expected).size());
    EXPECT_TRUE(bmp == bmp_of(expected));
}

TEST(ScanWalk, BlocksFillThePlanesOfEveryLayout) {
    // 13 x 10 MCUs of three blocks: 390 blocks filling each plane exactly.
    expect_blocks_in_place(100, 75, YCC_444, "size of frame 0 = 104x80\nsize of frame 1 = 104x80\nsize of frame 2 = 104x80\n");
    // 7 x 7 MCUs; the last column and row of plane 0 reach past it and are dropped.
    expect_blocks_in_place(100, 100, YCC_420, "size of frame 0 = 104x104\nsize of frame 1 = 56x56\nsize of frame 2 = 56x56\n");
    expect_blocks_in_place(37, 23, {{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, "size of frame 0 = 40x24\n");
    expect_blocks_in_place(40, 40, {{1, 1, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, "size of frame 1 = 40x24\n");
    expect_blocks_in_place(64, 16, {{1, 4, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, "size of frame 1 = 16x16\n");
    expect_blocks_in_place(24, 24, {{1, 3, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, "size of frame 1 = 8x24\n");
}

TEST(ScanWalk, BlocksLandInPlaceWithAndWithoutTheWorkerThread) {
    // 2850 blocks: more than the worker's ring of batches holds, the last
    // batch part full.
    // Planes that hold 16 of its 19 MCU rows, and 258 of its 300 block
    // rows: the rows in flight come round again.
    for (bool worker_thread : {true, false}) {
        expect_blocks_in_place(400, 300, YCC_420, "size of frame 0 = 400x304\n", worker_thread);
        expect_blocks_in_place(1000, 8, {{1, 1, 1, 0}}, "size of frame 0 = 1000x8\n", worker_thread);
        expect_blocks_in_place(64, 2400, {{1, 1, 1, 0}}, "size of frame 0 = 64x2400\n", worker_thread);
    }
}

TEST(ScanWalk, OneComponentIsCodedBlockByBlockWhateverItsFactors) {
    expect_blocks_in_place(37, 23, {{1, 1, 1, 0}}, "H_max = 1 V_max = 1\nsize of frame 0 = 40x24\n");
    expect_blocks_in_place(37, 23, {{1, 2, 2, 0}}, "H_max = 2 V_max = 2\nsize of frame 0 = 40x24\n");
}

TEST(ScanWalk, ScanOrderNotFrameOrderDecidesThePlanes) {
    JpegWriter jpeg;
    jpeg.soi().dqt(0, flat_table(1)).sof0(8, 8, YCC_444);
    jpeg.dht(0x00, DC_LUMINANCE).dht(0x10, AC_LUMINANCE);
    jpeg.sos({{2, 0, 0}, {3, 0, 0}, {1, 0, 0}});
    BitWriter scan;
    const CodeBook dc = code_book(DC_LUMINANCE), ac = code_book(AC_LUMINANCE);
    for (int k : {1, 2, 3}) {
        int pred = 0;
        encode_block(scan, marker_block(k), pred, dc, ac);
    }
    jpeg.bytes(scan.finish()).eoi();
    const Decoded decoded(jpeg.data());
    EXPECT_NE(decoded.trace.find("index[0] = 1\nindex[1] = 2\nindex[2] = 0\n"), std::string::npos);
    EXPECT_EQ(decoded.sample(0, 0, 0), 129);  // plane 0 holds the frame's second component
    EXPECT_EQ(decoded.sample(2, 0, 0), 131);
}

TEST(ScanWalk, TwoScanComponentsWithTheSameLabelShareAFrameComponent) {
    JpegWriter jpeg;
    jpeg.soi().dqt(0, flat_table(1)).sof0(8, 8, YCC_444);
    jpeg.dht(0x00, DC_LUMINANCE).dht(0x10, AC_LUMINANCE).dht(0x01, DC_CHROMINANCE).dht(0x11, AC_CHROMINANCE);
    jpeg.sos({{1, 0, 0}, {2, 1, 1}, {1, 1, 1}});
    jpeg.bytes(encode_scan_data(8, 8, YCC_444, [](int, int, int) { return dc_block(0); })).eoi();
    const Decoded decoded(jpeg.data());
    EXPECT_EQ(decoded.fatal, "");
    EXPECT_NE(decoded.trace.find("index[0] = 0\nindex[1] = 1\nindex[2] = 0\n"), std::string::npos);
}

// The file of headers_for with its SOS payload replaced.
Bytes with_sos(const std::vector<ComponentSpec>& frame, const Bytes& sos_payload, bool with_tables = true) {
    JpegWriter jpeg;
    jpeg.soi().sof0(16, 16, frame);
    if (with_tables) jpeg.dht(0x00, DC_LUMINANCE).dht(0x10, AC_LUMINANCE);
    jpeg.segment(0xDA, sos_payload).bytes(Bytes(64, 0)).eoi();
    return jpeg.data();
}

TEST(ScanHeader, ChecksStopInTheirOrder) {
    const std::string maps = "index[0] = 0\nindex[1] = 1\nindex[2] = 2\nH_max = 1 V_max = 1\n";
    const struct {
        std::vector<ComponentSpec> frame;
        Bytes sos;
        std::string after_start;
    } cases[] = {
        {YCC_444, {1, 1, 0x00, 0, 63, 0}, "Warning! Ns = 1 != Nf = 3\n"},
        {YCC_444, {3, 1, 0, 2, 0, 3, 0, 1, 0, 0}, "Warning! Ss != 0, not sequencial\n"},
        {YCC_444, {3, 1, 0, 2, 0, 3, 0, 0, 62, 0}, "Warning! Se != 63, not sequencial\n"},
        {YCC_444, {3, 1, 0, 2, 0, 3, 0, 0, 63, 0x10}, "Warning! Ah or Al != 0, not sequencial\n"},
        {YCC_444, {3, 1, 0, 2, 0, 3, 0, 0, 63, 0x01}, "Warning! Ah or Al != 0, not sequencial\n"},
        {YCC_444, {3, 1, 0, 9, 0, 3, 0, 0, 63, 0}, "index[0] = 0\nWarning! Cs = 9, no such component\n"},
        {YCC_444, {3, 1, 0x20, 2, 0, 3, 0, 0, 63, 0}, maps + "Warning! Td = 2, Ta = 0, no such Huffman table\n"},
        {YCC_444, {3, 1, 0, 2, 0x01, 3, 0, 0, 63, 0}, maps + "Warning! Td = 0, Ta = 1, no such Huffman table\n"},
        {{{1, 1, 1, 0}, {2, 1, 1, 0}}, {2, 1, 0, 2, 0, 0, 63, 0},
         "index[0] = 0\nindex[1] = 1\nH_max = 1 V_max = 1\nWarning! component layout not supported\n"},
        {{{1, 1, 1, 0}, {2, 2, 1, 0}, {3, 1, 1, 0}}, {3, 1, 0, 2, 0, 3, 0, 0, 63, 0},
         "index[0] = 0\nindex[1] = 1\nindex[2] = 2\nH_max = 2 V_max = 1\nWarning! component layout not supported\n"},
        {{{1, 3, 1, 0}, {2, 2, 1, 0}, {3, 1, 1, 0}}, {3, 1, 0, 2, 0, 3, 0, 0, 63, 0},
         "index[0] = 0\nindex[1] = 1\nindex[2] = 2\nH_max = 3 V_max = 1\nWarning! component layout not supported\n"},
        {YCC_444, {3, 1, 0, 2, 0}, "Warning! unexpected end of file\n"},
    };
    for (const auto& c : cases) {
        Bytes file = with_sos(c.frame, c.sos);
        if (c.after_start == "Warning! unexpected end of file\n") file.resize(file.size() - 66 - 5);
        const Outcome outcome = decode_bytes(file);
        EXPECT_EQ(outcome.exit_status, 1);
        EXPECT_EQ(scan_trace(outcome.trace), "Start of Scan\n" + c.after_start);
        EXPECT_TRUE(outcome.bmp.empty());
    }
    // Ss = 1 with Se = 0 reports Ss alone.
    const Outcome both = decode_bytes(with_sos(YCC_444, {3, 1, 0, 2, 0, 3, 0, 1, 0, 0}));
    EXPECT_EQ(scan_trace(both.trace), "Start of Scan\nWarning! Ss != 0, not sequencial\n");
    // A scan before any frame meets Nf = 0; with no tables a one-component scan stops at them.
    const Outcome no_frame = decode_bytes({0xFF, 0xD8, 0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0});
    EXPECT_EQ(scan_trace(no_frame.trace), "Start of Scan\nWarning! Ns = 1 != Nf = 0\n");
    const Outcome nothing = decode_bytes({0xFF, 0xD8, 0xFF, 0xDA, 0, 6, 0, 0, 63, 0});
    EXPECT_EQ(scan_trace(nothing.trace), "Start of Scan\nH_max = 1 V_max = 1\nWarning! component layout not supported\n");
    const Outcome no_tables = decode_bytes(with_sos({{1, 1, 1, 0}}, {1, 1, 0, 0, 63, 0}, false));
    EXPECT_EQ(scan_trace(no_tables.trace),
              "Start of Scan\nindex[0] = 0\nH_max = 1 V_max = 1\nWarning! Td = 0, Ta = 0, no such Huffman table\n");
}

TEST(ScanHeader, PictureTooLargeForABmpFile) {
    JpegWriter jpeg;
    jpeg.soi().sof0(65535, 65535, {{1, 1, 1, 0}}).dht(0x00, DC_LUMINANCE).dht(0x10, AC_LUMINANCE);
    jpeg.sos({{1, 0, 0}});
    const Outcome outcome = decode_bytes(jpeg.data());
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_EQ(scan_trace(outcome.trace),
              "Start of Scan\nindex[0] = 0\nH_max = 1 V_max = 1\nWarning! picture too large for a BMP file\n");
}

TEST(Entropy, ExtendFollowsTheSignRule) {
    const int32_t cases[][3] = {{0, 1, -1}, {1, 1, 1}, {1, 2, -2}, {2, 2, 2}, {0, 3, -7},
                                {3, 3, -4}, {4, 3, 4},  {7, 3, 7},  {0, 0, 0}, {0, 15, -32767}};
    for (const auto& c : cases) EXPECT_EQ(extend(c[0], c[1]), c[2]) << c[0] << "," << c[1];
}

TEST(Entropy, BitReaderTakesBitsMostSignificantFirstAndDropsTheByteAfterFF) {
    DecodeOn s({0xA5, 0xFF, 0x00, 0xFF, 0x12, 0x80});
    BitReader reader(s.input);
    std::string bits;
    for (int i = 0; i < 32; ++i) bits += static_cast<char>('0' + read_bit(reader));
    EXPECT_EQ(bits, "10100101111111111111111110000000");
    EXPECT_EQ(input_offset(s.input), 6u);
}

// The blocks of a crafted scan: DC and AC luminance codes from the bits.
struct CraftedBlock {
    CraftedBlock() : dc(code_book(DC_LUMINANCE)), ac(code_book(AC_LUMINANCE)) {}
    std::string run(int32_t start_pred = 0) {
        JpegWriter tables;
        tables.dht(0x00, DC_LUMINANCE).dht(0x10, AC_LUMINANCE);
        Bytes file = tables.data();
        const Bytes data = bits.finish();
        file.insert(file.end(), data.begin(), data.end());
        on = std::make_unique<DecodeOn>(file);
        for (int i = 0; i < 2; ++i) {
            read_byte(on->input), read_byte(on->input);
            read_dht(on->input, on->trace, Walk::BASELINE, on->decode.huffman);
        }
        reader = std::make_unique<BitReader>(on->input);
        pred = start_pred;
        const auto& trees = on->decode.huffman.trees;
        return fatal_line_of([&] { decode_block(*reader, *trees[0][0], *trees[1][0], pred, coefficients); });
    }
    int32_t at(int k) const { return coefficients[ZIGZAG[k]]; }
    BitWriter bits;
    CodeBook dc, ac;
    std::unique_ptr<DecodeOn> on;
    std::unique_ptr<BitReader> reader;
    Block coefficients{};
    int32_t pred = 0;
};


TEST(Entropy, DcDifferencesFromThePredictor) {
    CraftedBlock plus;
    plus.bits.put_bits(0b01110, 5);  // T = 2, v = 2
    plus.bits.put_symbol(plus.ac, 0x00);
    EXPECT_EQ(plus.run(10), "");
    EXPECT_EQ(plus.pred, 12);
    EXPECT_EQ(plus.at(0), 12);

    CraftedBlock minus;
    minus.bits.put_bits(0b01100, 5);  // v = 0: extend(0, 2) = -3
    minus.bits.put_symbol(minus.ac, 0x00);
    EXPECT_EQ(minus.run(10), "");
    EXPECT_EQ(minus.pred, 7);

    CraftedBlock none;
    none.bits.put_symbol(none.dc, 0);
    none.bits.put_symbol(none.ac, 0x00);
    EXPECT_EQ(none.run(-4), "");
    EXPECT_EQ(none.at(0), -4);
    for (int k = 1; k < 64; ++k) EXPECT_EQ(none.at(k), 0);
}

TEST(Entropy, RunsZeroRunLengthAndTheLastCoefficient) {
    CraftedBlock zrl;
    zrl.bits.put_symbol(zrl.dc, 0);
    zrl.bits.put_symbol(zrl.ac, 0xF0);
    zrl.bits.put_symbol(zrl.ac, 0x12);
    zrl.bits.put_value(-3, 2);
    zrl.bits.put_symbol(zrl.ac, 0x00);
    EXPECT_EQ(zrl.run(), "");
    for (int k = 1; k < 64; ++k) EXPECT_EQ(zrl.at(k), k == 18 ? -3 : 0) << k;

    // A value at index 63 ends the block with no end-of-block symbol.
    CraftedBlock last;
    last.bits.put_symbol(last.dc, 0);
    for (int i = 0; i < 3; ++i) last.bits.put_symbol(last.ac, 0xF0);
    last.bits.put_symbol(last.ac, 0xD1);  // 13 zeros, then 1 at 62
    last.bits.put_value(1, 1);
    last.bits.put_symbol(last.ac, 0x01);  // 63
    last.bits.put_value(-1, 1);
    last.bits.put_bits(0b1010, 4);
    EXPECT_EQ(last.run(), "");
    EXPECT_EQ(last.at(62), 1);
    EXPECT_EQ(last.at(63), -1);
    EXPECT_EQ(read_bit(*last.reader), 1);  // the next bits belong to the next block
    EXPECT_EQ(read_bit(*last.reader), 0);
}

TEST(Entropy, BadDataStopsWhereItIsMet) {
    CraftedBlock invalid;
    invalid.bits.put_bits(0x1FF, 9);  // the all-ones DC code
    EXPECT_EQ(invalid.run(), "Warning! invalid Huffman code\n");

    CraftedBlock past;
    past.bits.put_symbol(past.dc, 0);
    for (int i = 0; i < 3; ++i) past.bits.put_symbol(past.ac, 0xF0);
    past.bits.put_symbol(past.ac, 0xF1);  // 48 + 15 = 63 zeros, then a value past the block
    past.bits.put_value(1, 1);
    EXPECT_EQ(past.run(), "Warning! AC run past the end of the block\n");

    CraftedBlock cut;
    cut.bits.put_symbol(cut.dc, 11);
    EXPECT_EQ(cut.run(), "Warning! unexpected end of file\n");
}

TEST(Entropy, DcCategoryOutOfRange) {
    HuffmanSpec wide;
    wide.counts[1] = 1;
    wide.symbols = {31};
    JpegWriter jpeg;
    jpeg.soi().dqt(0, flat_table(1)).sof0(8, 8, {{1, 1, 1, 0}}).dht(0x00, wide).dht(0x10, AC_LUMINANCE);
    jpeg.sos({{1, 0, 0}}).bytes({0x3F, 0x00, 0x00, 0x00, 0x00, 0x00}).eoi();
    const Outcome outcome = decode_bytes(jpeg.data());
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_NE(outcome.trace.find("size of frame 0 = 8x8\nWarning! DC category 31 out of range\n"), std::string::npos);
}

TEST(Entropy, EachComponentKeepsItsOwnPredictor) {
    const Decoded decoded(encode_blocks(16, 8, YCC_444, [](int c, int bx, int) {
        return marker_block(c == 0 ? 5 - 8 * bx : 2 + 3 * bx + c);
    }));
    EXPECT_EQ(decoded.sample(0, 0, 0), 133);
    EXPECT_EQ(decoded.sample(0, 8, 0), 125);
    EXPECT_EQ(decoded.sample(1, 8, 0), 134);
    EXPECT_EQ(decoded.sample(2, 8, 0), 135);
}

TEST(Entropy, StuffedFFInTheDataIsOneDataByte) {
    // Values that code to 0xFF bytes: the stuffing 0x00 is never taken as data.
    const Decoded decoded(encode_blocks(64, 8, {{1, 1, 1, 0}}, [](int, int bx, int) {
        ZigzagBlock block = dc_block(bx % 2 ? 1020 : -1020);
        block[1] = -1;
        block[2] = 1023;
        return block;
    }));
    EXPECT_EQ(decoded.fatal, "");
    bool has_ff = false;
    const Bytes file = encode_blocks(64, 8, {{1, 1, 1, 0}}, [](int, int bx, int) {
        ZigzagBlock block = dc_block(bx % 2 ? 1020 : -1020);
        block[1] = -1;
        block[2] = 1023;
        return block;
    });
    for (size_t i = 0; i + 1 < file.size(); ++i) has_ff |= file[i] == 0xFF && file[i + 1] == 0x00;
    EXPECT_TRUE(has_ff);
}

TEST(EndOfScan, WhatFollowsThePictureKeepsIt) {
    const Bytes picture = encode_blocks(8, 8, YCC_444, [](int, int, int) { return dc_block(0); });
    Bytes no_eoi(picture.begin(), picture.end() - 2);

    const Outcome quiet = decode_bytes(no_eoi);
    EXPECT_EQ(quiet.exit_status, 0);
    EXPECT_EQ(quiet.trace.substr(quiet.trace.size() - 22), "write to file .......\n");
    EXPECT_EQ(quiet.bmp.size(), 54u + 8 * 24);

    Bytes cut_marker = no_eoi;
    cut_marker.push_back(0xFF);
    EXPECT_EQ(decode_bytes(cut_marker).exit_status, 0);

    Bytes second = no_eoi;
    const Bytes sos = {0xFF, 0xDA, 0, 12, 3, 1, 0, 2, 0x11, 3, 0x11, 0, 63, 0};
    second.insert(second.end(), sos.begin(), sos.end());
    const Outcome twice = decode_bytes(second);
    EXPECT_EQ(twice.exit_status, 0);
    EXPECT_EQ(scan_trace(twice.trace).substr(scan_trace(twice.trace).rfind("write")),
              "write to file .......\nStart of Scan\nWarning! only one scan is supported\n");
    EXPECT_EQ(twice.bmp, quiet.bmp);

    Bytes unknown = no_eoi;
    unknown.insert(unknown.end(), {0xFF, 0xDD});
    const Outcome dri = decode_bytes(unknown);
    EXPECT_EQ(dri.exit_status, 0);
    EXPECT_EQ(dri.bmp, quiet.bmp);

    Bytes bad_table = no_eoi;
    bad_table.insert(bad_table.end(), {0xFF, 0xDB, 0, 67, 0x05});
    const Outcome after = decode_bytes(bad_table);
    EXPECT_EQ(after.exit_status, 1);
    EXPECT_EQ(after.bmp, quiet.bmp);
}

TEST(Input, GoingBackAfterARefillFindsTheKeptBytes) {
    Bytes stream(ByteInput::CAPACITY + 100);
    for (size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<uint8_t>(i * 7 % 251);
    // The bit reader puts back up to eight data bytes, two stream bytes each
    // where they are 0xFF.
    for (uint64_t back = 1; back <= 16; ++back) {
        DecodeOn on(stream);
        ByteInput& input = on.input;
        // Up to a few bytes past the first window, then back over the refill.
        const uint64_t ahead = ByteInput::CAPACITY + back / 2;
        for (uint64_t i = 0; i < ahead; ++i) ASSERT_EQ(read_byte(input), stream[i]);
        return_to_offset(input, ahead - back);
        for (uint64_t i = ahead - back; i < stream.size(); ++i) ASSERT_EQ(read_byte(input), stream[i]) << back;
        EXPECT_EQ(read_byte(input), END_OF_INPUT);
    }
}

TEST(EndOfScan, ZeroWidthOrHeightWritesTheHeaderAlone) {
    for (auto size : {std::pair{0, 16}, std::pair{16, 0}}) {
        JpegWriter jpeg = headers_for(size.first, size.second, YCC_420);
        jpeg.bytes(encode_scan_data(16, 16, YCC_420, [](int, int, int) { return dc_block(0); })).eoi();
        const Outcome outcome = decode_bytes(jpeg.data());
        EXPECT_EQ(outcome.exit_status, 0) << outcome.trace;
        EXPECT_EQ(outcome.bmp.size(), 54u);
    }
}

TEST(EndOfScan, DataCutShortOrEndingInFFStops) {
    const Bytes picture = encode_blocks(64, 64, YCC_444, [](int, int bx, int) { return dc_block(bx * 40); });
    Bytes cut(picture.begin(), picture.begin() + static_cast<long>(picture.size() / 2));
    const Outcome half = decode_bytes(cut);
    EXPECT_EQ(half.exit_status, 1);
    EXPECT_EQ(half.trace.substr(half.trace.size() - 32), "Warning! unexpected end of file\n");
    EXPECT_TRUE(half.bmp.empty());

    JpegWriter jpeg = headers_for(8, 8, {{1, 1, 1, 0}});
    jpeg.bytes({0xFF});
    const Outcome ff = decode_bytes(jpeg.data());
    EXPECT_EQ(ff.exit_status, 1);
    EXPECT_NE(ff.trace.find("size of frame 0 = 8x8\nWarning! unexpected end of file\n"), std::string::npos);
}

TEST(EndToEnd, EncodedPictureDecodesCloseToItsSamples) {
    const auto sample = [](int c, int x, int y) { return c == 0 ? 40 + 3 * x + 2 * y : 128 + (c == 1 ? x : -y); };
    const Decoded decoded(encode_picture(48, 32, YCC_444, sample));
    ASSERT_EQ(decoded.fatal, "");
    for (int c = 0; c < 3; ++c)
        for (int x = 0; x < 48; ++x)
            for (int y = 0; y < 32; ++y) EXPECT_NEAR(decoded.sample(c, x, y), sample(c, x, y), 2);
}

}  // namespace

namespace {

// The extended walk's restart intervals: the markers in turn, fill bytes
// before them, and a marker out of turn or missing.
TEST(RestartIntervals, MarkersInTurnFillBytesAndMarkersMissing) {
    const DecodeOptions extended{.walk = Walk::EXTENDED};
    const Bytes file = read_file(JPEG2BMP_DATA "/reencoded/chelsea_420.restart_5_blocks.jpg");
    const Outcome whole = decode_bytes(file, extended);
    ASSERT_EQ(whole.exit_status, 0) << whole.trace;
    const size_t scan = std::string(file.begin(), file.end()).find("\xFF\xDA");
    size_t first_rst = scan;
    while (!(file[first_rst] == 0xFF && file[first_rst + 1] == 0xD0)) ++first_rst;

    Bytes filled = file;
    filled.insert(filled.begin() + static_cast<long>(first_rst), {0xFF, 0xFF});
    EXPECT_EQ(decode_bytes(filled, extended).bmp, whole.bmp);

    Bytes stray = file;
    stray.insert(stray.end() - 2, {0xFF, 0xD3});  // some encoders end on one
    EXPECT_EQ(decode_bytes(stray, extended).bmp, whole.bmp);

    Bytes out_of_turn = file;
    out_of_turn[first_rst + 1] = 0xD1;
    Outcome outcome = decode_bytes(out_of_turn, extended);
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_EQ(outcome.trace.substr(outcome.trace.rfind("\n", outcome.trace.size() - 2) + 1),
              "Warning! restart marker RST0 missing\n");
    EXPECT_TRUE(outcome.bmp.empty());

    Bytes missing = file;
    missing.erase(missing.begin() + static_cast<long>(first_rst), missing.begin() + static_cast<long>(first_rst) + 2);
    outcome = decode_bytes(missing, extended);
    EXPECT_EQ(outcome.exit_status, 1);
    EXPECT_TRUE(outcome.bmp.empty());

    // The baseline walk stops at DRI, as the interactive program does.
    EXPECT_EQ(decode_bytes(file).end, DecodeResult::End::UNKNOWN_MARKER);
}

}  // namespace

namespace {

TEST(ArithmeticCoding, AHugePictureClaimedWithLittleDataIsCutShortNotDecodedFromZeros) {
    Bytes file = read_file(JPEG2BMP_DATA "/reencoded/one_pixel.arithmetic.jpg");
    const size_t sof = std::string(file.begin(), file.end()).find("\xFF\xC9");
    ASSERT_NE(sof, std::string::npos);
    for (size_t at : {sof + 5, sof + 7}) file[at] = 0x40, file[at + 1] = 0x00;  // 16384 x 16384
    const Outcome outcome = decode_bytes(file, DecodeOptions{.walk = Walk::EXTENDED});
    EXPECT_EQ(outcome.trace.substr(outcome.trace.size() - 32), "Warning! unexpected end of file\n");
}

TEST(ArithmeticCoding, ConditioningTablesOutOfRangeAndSequentialScansInAProgressiveFrame) {
    const DecodeOptions extended{.walk = Walk::EXTENDED};
    const Bytes file = read_file(JPEG2BMP_DATA "/reencoded/one_pixel.arithmetic.jpg");
    ASSERT_EQ(decode_bytes(file, extended).exit_status, 0);
    const size_t dac = std::string(file.begin(), file.end()).find("\xFF\xCC");
    ASSERT_NE(dac, std::string::npos);
    for (const auto& [at, value, warning] :
         {std::tuple{dac + 4, 0x24, "Warning! Tc & Tb = 24, Cs = 16, no such conditioning table\n"},
          std::tuple{dac + 5, 0x01, "Warning! Tc & Tb = 00, Cs = 1, no such conditioning table\n"},
          std::tuple{dac + 7, 0x00, "Warning! Tc & Tb = 10, Cs = 0, no such conditioning table\n"}}) {
        Bytes damaged = file;
        damaged[at] = static_cast<uint8_t>(value);
        const Outcome outcome = decode_bytes(damaged, extended);
        EXPECT_EQ(outcome.exit_status, 1);
        EXPECT_EQ(outcome.trace.substr(outcome.trace.rfind("\n", outcome.trace.size() - 2) + 1), warning);
    }
    Bytes progressive = file;
    progressive[std::string(file.begin(), file.end()).find("\xFF\xC9") + 1] = 0xCA;
    const std::string trace = decode_bytes(progressive, extended).trace;
    EXPECT_EQ(trace.substr(trace.rfind("\n", trace.size() - 2) + 1),
              "Warning! Ss = 0, Se = 63, Ah = 0, Al = 0, no progressive scan\n");
}

}  // namespace
