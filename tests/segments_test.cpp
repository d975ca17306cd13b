// The start-up tables and the readers of the DQT, SOF0 and DHT segments.
#include <gtest/gtest.h>

#include "core/byte_input.h"
#include "segments/segments.h"
#include "support/decode_run.h"
#include "support/fixtures.h"
#include "support/jpeg_writer.h"

namespace {

const std::vector<ComponentSpec> YCC_420 = {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};

std::string trace_of(const Bytes& file) { return decode_bytes(file).trace; }

Bytes with_soi(const Bytes& tail) {
    Bytes file = {0xFF, 0xD8};
    file.insert(file.end(), tail.begin(), tail.end());
    return file;
}

TEST(PowInt, PowersOfTwoAndTheNegativeExponentStop) {
    EXPECT_EQ(pow_int(2, 0), 1);
    EXPECT_EQ(pow_int(2, 15), 32768);
    EXPECT_EQ(pow_int(2, 30), 1073741824);
    EXPECT_EQ(fatal_line_of([] { pow_int(2, -1); }), "pow_int error!, P = -1\n");
}

TEST(DecodeRecord, QuantizationTablesOfOneAndEmptyHuffmanSlots) {
    DecodeOn s({});
    for (const auto& table : s.decode.quant.tables)
        for (int32_t entry : table) EXPECT_EQ(entry, 1);
    for (const auto& row : s.decode.huffman.trees)
        for (const auto& slot : row) EXPECT_FALSE(slot);
}

TEST(Dqt, TwoTablesInOneSegmentAreStoredInOrder) {
    Bytes segment = {0x00, 132, 0x00};
    for (int i = 0; i < 64; ++i) segment.push_back(static_cast<uint8_t>(i + 1));
    segment.push_back(0x03);
    for (int i = 0; i < 64; ++i) segment.push_back(static_cast<uint8_t>(200 - i));
    DecodeOn s(segment);
    read_dqt(s.input, Walk::BASELINE, s.decode.quant);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(s.decode.quant.tables[0][i], i + 1);
        EXPECT_EQ(s.decode.quant.tables[3][i], 200 - i);
        EXPECT_EQ(s.decode.quant.tables[1][i], 1);
    }
}

TEST(Dqt, ShortLengthStillReadsTheWholeTableAndLengthTwoReadsNothing) {
    Bytes segment = {0x00, 0x03, 0x01};
    for (int i = 0; i < 64; ++i) segment.push_back(7);
    segment.push_back(0x42);
    DecodeOn s(segment);
    read_dqt(s.input, Walk::BASELINE, s.decode.quant);
    EXPECT_EQ(s.decode.quant.tables[1][63], 7);
    EXPECT_EQ(read_byte(s.input), 0x42);

    DecodeOn empty({0x00, 0x02, 0x05});
    read_dqt(empty.input, Walk::BASELINE, empty.decode.quant);
    EXPECT_EQ(input_offset(empty.input), 2u);
}

TEST(Dqt, WarningsStopTheProgram) {
    const std::string head = "begin of image\ndefine quantization table\n";
    Bytes zero_at_5 = {0xFF, 0xDB, 0x00, 0x43, 0x01, 9, 9, 9, 9, 9, 0};
    const struct {
        Bytes file;
        std::string warning;
    } cases[] = {
        {with_soi({0xFF, 0xDB, 0x00, 0x43, 0x10}), "warning!! Pq & Tq = 10, Pq not baseline\n"},
        {with_soi({0xFF, 0xDB, 0x00, 0x43, 0x04}), "warning!! Pq & Tq = 04, Tq is out of range\n"},
        {with_soi(zero_at_5), "warning!! quantization table 1 element 5 is zero!\n"},
        {with_soi({0xFF, 0xDB, 0x00, 0x43, 0x00, 1, 2}), "Warning! unexpected end of file\n"},
        {with_soi({0xFF, 0xDB, 0x00}), "Warning! unexpected end of file\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = decode_bytes(c.file);
        EXPECT_EQ(outcome.exit_status, 1);
        EXPECT_EQ(outcome.trace, head + c.warning);
        EXPECT_TRUE(outcome.bmp.empty());
    }
}

TEST(Sof0, SizesComponentsAndTheirTrace) {
    JpegWriter jpeg;
    jpeg.soi().sof0(100, 75, YCC_420).marker(0xD9);
    const Outcome outcome = decode_bytes(jpeg.data());
    EXPECT_EQ(outcome.trace,
              "begin of image\nframe header syntax\nimage size : 100 * 75\n# of channel = 3\n"
              "channel 0 : label = 1 H = 2 V = 2 Tq = 0\nchannel 1 : label = 2 H = 1 V = 1 Tq = 1\n"
              "channel 2 : label = 3 H = 1 V = 1 Tq = 1\nEnd of image\n");

    DecodeOn frame(Bytes(jpeg.data().begin() + 4, jpeg.data().end()));
    read_sof0(frame.input, frame.trace, Walk::BASELINE, frame.decode.frame);
    EXPECT_EQ(frame.decode.frame.width, 100);
    EXPECT_EQ(frame.decode.frame.height, 75);
    EXPECT_EQ(frame.decode.frame.padded_width, 104);
    EXPECT_EQ(frame.decode.frame.padded_height, 80);
    ASSERT_EQ(frame.decode.frame.components.size(), 3u);
    EXPECT_EQ(frame.decode.frame.components[0].H, 2);
    EXPECT_EQ(frame.decode.frame.components[2].Tq, 1);
}

TEST(Sof0, MultipleOfEightKeepsItsSizeAndASecondFrameReplacesTheFirst) {
    JpegWriter jpeg;
    jpeg.sof0(64, 64, YCC_420).sof0(9, 17, {{5, 1, 1, 2}});
    DecodeOn s(jpeg.data());
    read_byte(s.input), read_byte(s.input);
    read_sof0(s.input, s.trace, Walk::BASELINE, s.decode.frame);
    EXPECT_EQ(s.decode.frame.padded_width, 64);
    EXPECT_EQ(s.decode.frame.padded_height, 64);
    read_byte(s.input), read_byte(s.input);
    read_sof0(s.input, s.trace, Walk::BASELINE, s.decode.frame);
    EXPECT_EQ(s.decode.frame.padded_width, 16);
    EXPECT_EQ(s.decode.frame.padded_height, 24);
    ASSERT_EQ(s.decode.frame.components.size(), 1u);
    EXPECT_EQ(s.decode.frame.components[0].label, 5);
    EXPECT_EQ(s.decode.frame.components[0].Tq, 2);
}

TEST(Sof0, WarningsStopTheProgram) {
    const std::string head = "begin of image\nframe header syntax\n";
    const std::string size = "image size : 16 * 16\n";
    const std::string three = size + "# of channel = 3\n";
    const auto frame = [](Bytes payload) {
        JpegWriter jpeg;
        jpeg.soi().segment(0xC0, payload);
        return jpeg.data();
    };
    const struct {
        Bytes file;
        std::string trace;
    } cases[] = {
        {frame({12, 0, 16, 0, 16, 1, 1, 0x11, 0}), "Warning!! Sample precision = 12, not equal to 8\n"},
        // Lf = 18 with Nf = 3: one byte too many.
        {frame({8, 0, 16, 0, 16, 3, 1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1, 0}),
         size + "Warning!! Nf = 3, Lf = 18, not consistent\n"},
        {frame({8, 0, 16, 0, 16, 3, 1, 0x11, 0, 1, 0x11, 1, 3, 0x11, 1}),
         three + "channel 0 : label = 1 H = 1 V = 1 Tq = 0\nWarning!! there are the same labels!!\n"},
        {frame({8, 0, 16, 0, 16, 3, 1, 0x51, 0, 2, 0x11, 1, 3, 0x11, 1}), three + "Warning!! H out of range\n"},
        {frame({8, 0, 16, 0, 16, 3, 1, 0x10, 0, 2, 0x11, 1, 3, 0x11, 1}), three + "Warning!! H out of range\n"},
        {frame({8, 0, 16, 0, 16, 3, 1, 0x11, 4, 2, 0x11, 1, 3, 0x11, 1}),
         three + "channel 0 : label = 1 H = 1 V = 1 Tq = 4\nWarning!! Tq = 4 out of range\n"},
        {with_soi({0xFF, 0xC0, 0x00, 17, 8, 0, 16, 0}), "Warning! unexpected end of file\n"},
        {with_soi({0xFF, 0xC0, 0x00, 17, 8, 0, 16, 0, 16, 3, 1, 0x22}),
         three + "Warning! unexpected end of file\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = decode_bytes(c.file);
        EXPECT_EQ(outcome.exit_status, 1);
        EXPECT_EQ(outcome.trace, head + c.trace);
    }
}

// The number of nodes reachable from the root.
int nodes_in_use(const HuffmanTree& tree, int32_t node = 0) {
    if (node == NODE_NONE) return 0;
    return 1 + nodes_in_use(tree, tree.nodes[node].child0) + nodes_in_use(tree, tree.nodes[node].child1);
}

// The symbol at the end of a path of '0' and '1' characters, or -1.
int32_t symbol_at(const HuffmanTree& tree, const std::string& path) {
    int32_t node = 0;
    for (char bit : path) {
        node = bit == '1' ? tree.nodes[node].child1 : tree.nodes[node].child0;
        if (node == NODE_NONE) return -1;
    }
    return tree.nodes[node].child0 == NODE_NONE ? tree.nodes[node].value : -1;
}

std::unique_ptr<HuffmanTree> tree_from(const HuffmanSpec& spec) {
    JpegWriter jpeg;
    jpeg.dht(0x00, spec);
    DecodeOn s(Bytes(jpeg.data().begin() + 2, jpeg.data().end()));
    read_dht(s.input, s.trace, Walk::BASELINE, s.decode.huffman);
    return std::move(s.decode.huffman.trees[0][0]);
}

TEST(Dht, AnnexKTablesBuildTreesOfTheirSize) {
    const struct {
        const HuffmanSpec* spec;
        size_t nodes;
    } cases[] = {{&DC_LUMINANCE, 24}, {&DC_CHROMINANCE, 24}, {&AC_LUMINANCE, 324}, {&AC_CHROMINANCE, 324}};
    for (const auto& c : cases) {
        const auto tree = tree_from(*c.spec);
        EXPECT_EQ(tree->nodes.size(), c.nodes + 1);
        EXPECT_EQ(nodes_in_use(*tree), static_cast<int>(c.nodes));
    }
}

TEST(Dht, DcLuminanceTableGivesTheCodesOfTheStandard) {
    const auto tree = tree_from(DC_LUMINANCE);
    const char* codes[] = {"00",     "010",     "011",      "100",       "101",        "110",
                           "1110",   "11110",   "111110",   "1111110",   "11111110",   "111111110"};
    for (int32_t symbol = 0; symbol < 12; ++symbol) EXPECT_EQ(symbol_at(*tree, codes[symbol]), symbol);
    EXPECT_EQ(symbol_at(*tree, "111111111"), -1);  // the all-ones code is left free
}

TEST(Dht, TableWithMuchEmptyCodeSpaceGetsTheNodesItNeeds) {
    HuffmanSpec one_code_of_length_3;
    one_code_of_length_3.counts[2] = 1;
    one_code_of_length_3.symbols = {0x42};
    const auto tree = tree_from(one_code_of_length_3);
    EXPECT_EQ(symbol_at(*tree, "000"), 0x42);
    EXPECT_EQ(nodes_in_use(*tree), 4);
}

TEST(Dht, OverfilledCountsShareAPathAndTheLaterSymbolWins) {
    HuffmanSpec overfilled;
    overfilled.counts[0] = 3;  // three 1-bit codes: the third, 2, follows the path of 1
    overfilled.symbols = {7, 8, 9};
    const auto tree = tree_from(overfilled);
    EXPECT_EQ(symbol_at(*tree, "0"), 7);
    EXPECT_EQ(symbol_at(*tree, "1"), 9);
}

TEST(Dht, FourTablesInOneSegmentFillTheirSlotsWithTwoLinesEach) {
    Bytes payload;
    const HuffmanSpec* specs[] = {&DC_LUMINANCE, &AC_LUMINANCE, &DC_CHROMINANCE, &AC_CHROMINANCE};
    const int ids[] = {0x00, 0x10, 0x01, 0x11};
    for (int i = 0; i < 4; ++i) {
        payload.push_back(static_cast<uint8_t>(ids[i]));
        payload.insert(payload.end(), specs[i]->counts.begin(), specs[i]->counts.end());
        payload.insert(payload.end(), specs[i]->symbols.begin(), specs[i]->symbols.end());
    }
    JpegWriter jpeg;
    jpeg.soi().segment(0xC4, payload).eoi();
    const Outcome outcome = decode_bytes(jpeg.data());
    EXPECT_EQ(outcome.trace,
              "begin of image\nDefine Huffman table(s)\n"
              "huffman tree for Tc = 0, Th = 0, symbol # = 12\n"
              "Li[0]=0 Li[1]=1 Li[2]=5 Li[3]=1 Li[4]=1 Li[5]=1 Li[6]=1 Li[7]=1 Li[8]=1 Li[9]=0 Li[10]=0 Li[11]=0 "
              "Li[12]=0 Li[13]=0 Li[14]=0 Li[15]=0 \n"
              "huffman tree for Tc = 1, Th = 0, symbol # = 162\n"
              "Li[0]=0 Li[1]=2 Li[2]=1 Li[3]=3 Li[4]=3 Li[5]=2 Li[6]=4 Li[7]=3 Li[8]=5 Li[9]=5 Li[10]=4 Li[11]=4 "
              "Li[12]=0 Li[13]=0 Li[14]=1 Li[15]=125 \n"
              "huffman tree for Tc = 0, Th = 1, symbol # = 12\n"
              "Li[0]=0 Li[1]=3 Li[2]=1 Li[3]=1 Li[4]=1 Li[5]=1 Li[6]=1 Li[7]=1 Li[8]=1 Li[9]=1 Li[10]=1 Li[11]=0 "
              "Li[12]=0 Li[13]=0 Li[14]=0 Li[15]=0 \n"
              "huffman tree for Tc = 1, Th = 1, symbol # = 162\n"
              "Li[0]=0 Li[1]=2 Li[2]=1 Li[3]=2 Li[4]=4 Li[5]=4 Li[6]=3 Li[7]=4 Li[8]=7 Li[9]=5 Li[10]=4 Li[11]=4 "
              "Li[12]=0 Li[13]=1 Li[14]=2 Li[15]=119 \n"
              "End of image\n");

    DecodeOn s(Bytes(jpeg.data().begin() + 4, jpeg.data().end()));
    read_dht(s.input, s.trace, Walk::BASELINE, s.decode.huffman);
    EXPECT_EQ(s.decode.huffman.trees[0][0]->nodes.size(), 25u);
    EXPECT_EQ(s.decode.huffman.trees[1][0]->nodes.size(), 325u);
    EXPECT_EQ(s.decode.huffman.trees[0][1]->nodes.size(), 25u);
    EXPECT_EQ(s.decode.huffman.trees[1][1]->nodes.size(), 325u);
}

TEST(Dht, LengthTwoReadsNothingAndEmptyCountsGiveARootAlone) {
    JpegWriter jpeg;
    jpeg.soi().segment(0xC4, {}).eoi();
    EXPECT_EQ(trace_of(jpeg.data()), "begin of image\nDefine Huffman table(s)\nEnd of image\n");

    // An all-zero table takes 17 bytes; the table after it is still read.
    Bytes payload(17, 0);
    payload[0] = 0x01;
    payload.push_back(0x00);
    payload.insert(payload.end(), DC_LUMINANCE.counts.begin(), DC_LUMINANCE.counts.end());
    payload.insert(payload.end(), DC_LUMINANCE.symbols.begin(), DC_LUMINANCE.symbols.end());
    JpegWriter two;
    two.segment(0xC4, payload);
    DecodeOn s(Bytes(two.data().begin() + 2, two.data().end()));
    read_dht(s.input, s.trace, Walk::BASELINE, s.decode.huffman);
    const std::string printed = s.trace.text();
    EXPECT_EQ(printed.substr(0, printed.find('\n')), "huffman tree for Tc = 0, Th = 1, symbol # = 0");
    EXPECT_EQ(s.decode.huffman.trees[0][1]->nodes.size(), 1u);
    EXPECT_EQ(s.decode.huffman.trees[0][0]->nodes.size(), 25u);
}

TEST(Dht, ALaterTableReplacesTheTreeInItsSlot) {
    HuffmanSpec other;
    other.counts[0] = 2;
    other.symbols = {5, 6};
    JpegWriter jpeg;
    jpeg.dht(0x00, DC_LUMINANCE).dht(0x00, other);
    DecodeOn s(jpeg.data());
    read_byte(s.input), read_byte(s.input);
    read_dht(s.input, s.trace, Walk::BASELINE, s.decode.huffman);
    read_byte(s.input), read_byte(s.input);
    read_dht(s.input, s.trace, Walk::BASELINE, s.decode.huffman);
    EXPECT_EQ(symbol_at(*s.decode.huffman.trees[0][0], "0"), 5);
    EXPECT_EQ(symbol_at(*s.decode.huffman.trees[0][0], "1"), 6);
}

TEST(Dht, WarningsAndEndOfInputStopTheProgram) {
    const std::string head = "begin of image\nDefine Huffman table(s)\n";
    for (uint8_t id : {0x02, 0x20, 0x12}) {
        const Outcome outcome = decode_bytes(with_soi({0xFF, 0xC4, 0x00, 0x13, id}));
        EXPECT_EQ(outcome.exit_status, 1);
        EXPECT_EQ(outcome.trace, head + "Warning!! Tc & Th is not baseline\n");
    }
    // Cut inside the counts: nothing of the table is printed.
    Outcome cut = decode_bytes(with_soi({0xFF, 0xC4, 0x00, 0x13, 0x00, 0, 1, 5}));
    EXPECT_EQ(cut.exit_status, 1);
    EXPECT_EQ(cut.trace, head + "Warning! unexpected end of file\n");
    // Cut inside the symbols: the counts are printed, then the stop.
    Bytes symbols_cut = {0xFF, 0xC4, 0x00, 0x1F, 0x00};
    symbols_cut.insert(symbols_cut.end(), DC_LUMINANCE.counts.begin(), DC_LUMINANCE.counts.end());
    symbols_cut.push_back(0);
    cut = decode_bytes(with_soi(symbols_cut));
    EXPECT_EQ(cut.exit_status, 1);
    EXPECT_NE(cut.trace.find("Li[15]=0 \nWarning! unexpected end of file\n"), std::string::npos);
}

TEST(MarkerWalk, CommentAndApplicationSegmentsAreNotSkippedByLength) {
    JpegWriter comment;
    comment.soi().bytes({0x12, 0x34}).comment("made here").eoi();
    EXPECT_EQ(trace_of(comment.data()), "begin of image\nComment\nEnd of image\n");

    // A marker inside an APP0 payload is taken as that marker.
    JpegWriter app0;
    app0.soi().segment(0xE0, {'J', 0xFF, 0xD9, 'F'}).marker(0xDD);
    const Outcome outcome = decode_bytes(app0.data());
    EXPECT_EQ(outcome.exit_status, 0);
    EXPECT_EQ(outcome.trace, "begin of image\nExpand reference component(s)\nEnd of image\n");
}

TEST(HeaderTrace, EveryFixtureMatchesItsRecordUpToTheScan) {
    for (const FixtureExpectation& fixture : load_fixture_expectations(JPEG2BMP_DATA "/expected.json")) {
        SCOPED_TRACE(fixture.name);
        const Outcome outcome = decode_bytes(read_file(JPEG2BMP_DATA "/" + fixture.name));
        const std::string expected = joined(fixture.trace);
        const auto scan = expected.find("Start of Scan\n");
        const size_t header_end = scan == std::string::npos ? expected.size() : scan;
        EXPECT_EQ(outcome.trace.substr(0, header_end), expected.substr(0, header_end));
    }
}

}  // namespace
