// The test-side encoder: assembles JPEG streams segment by segment and
// codes scans with chosen coefficients or pictures, so that every header
// case and every symbol sequence is a few readable lines in a test.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/decode_run.h"

// One DHT table: the counts of codes of lengths 1 to 16 and the symbols.
struct HuffmanSpec {
    std::array<uint8_t, 16> counts{};
    std::vector<uint8_t> symbols;
};

// The example tables of the JPEG standard, Annex K.3.
extern const HuffmanSpec DC_LUMINANCE;
extern const HuffmanSpec AC_LUMINANCE;
extern const HuffmanSpec DC_CHROMINANCE;
extern const HuffmanSpec AC_CHROMINANCE;

// The code of each symbol of a table (length 0: the table has no code for it).
struct Code {
    uint32_t bits = 0;
    int length = 0;
};
using CodeBook = std::array<Code, 256>;
CodeBook code_book(const HuffmanSpec& spec);

// Entropy-coded data with the 0x00 stuffed after every 0xFF.
class BitWriter {
public:
    void put_bits(uint32_t bits, int count);
    void put_symbol(const CodeBook& book, int symbol);
    // The low `category` bits of a value in the coding of the standard
    // (negative values as value - 1).
    void put_value(int value, int category);
    // Pads the last byte with 1 bits.
    Bytes finish();
    // The whole bytes written so far.
    size_t size() const { return bytes_.size(); }

private:
    Bytes bytes_;
    uint32_t pending_ = 0;
    int pending_count_ = 0;
};

int category_of(int value);

// 64 quantized coefficients in zigzag order.
using ZigzagBlock = std::array<int, 64>;

// Codes one block the way an encoder does: DC difference, runs with ZRL,
// end of block unless coefficient 63 is non-zero.
void encode_block(BitWriter& out, const ZigzagBlock& block, int& dc_pred, const CodeBook& dc, const CodeBook& ac);

struct ComponentSpec {
    int label = 1;
    int H = 1;
    int V = 1;
    int Tq = 0;
};

struct ScanComponentSpec {
    int Cs = 1;
    int Td = 0;
    int Ta = 0;
};

class JpegWriter {
public:
    JpegWriter& soi();
    JpegWriter& eoi();
    JpegWriter& marker(int code);
    JpegWriter& bytes(const Bytes& raw);
    JpegWriter& app0();
    JpegWriter& comment(const std::string& text);
    JpegWriter& dqt(int pq_tq, const std::array<int, 64>& entries);
    JpegWriter& sof0(int width, int height, const std::vector<ComponentSpec>& components, int precision = 8);
    JpegWriter& dht(int tc_th, const HuffmanSpec& spec);
    JpegWriter& sos(const std::vector<ScanComponentSpec>& components, int ss = 0, int se = 63, int ah_al = 0);
    // A segment with the given marker and payload; the length is computed.
    JpegWriter& segment(int code, const Bytes& payload);
    const Bytes& data() const { return data_; }

private:
    Bytes data_;
};

std::array<int, 64> flat_table(int value);

// The block at block column bx, block row by of scan component c.
using BlockSource = std::function<ZigzagBlock(int c, int bx, int by)>;

// A complete baseline file: DQT 0 and 1, SOF0, the four Annex K tables
// (luminance for component 0, chrominance for the others), SOS in frame
// order, the scan, EOI. The blocks are walked in the interleaved MCU order
// of the standard (one component: raster order).
Bytes encode_blocks(int width, int height, const std::vector<ComponentSpec>& components, const BlockSource& blocks,
                    const std::array<int, 64>& table0 = flat_table(1), const std::array<int, 64>& table1 = flat_table(1));

// The same with blocks from a picture: sample(c, x, y) at component
// resolution, through the forward DCT and quantization by `table`.
using SampleSource = std::function<int(int c, int x, int y)>;
Bytes encode_picture(int width, int height, const std::vector<ComponentSpec>& components, const SampleSource& sample,
                     const std::array<int, 64>& table = flat_table(1));

// The scan data alone of `encode_blocks` (everything between the SOS
// header and EOI).
Bytes encode_scan_data(int width, int height, const std::vector<ComponentSpec>& components, const BlockSource& blocks);

// A file whose headers are those of a three-component 4:4:4 8 x 8 picture
// and whose scan data is `scan`.
Bytes file_with_scan(const Bytes& scan, const std::vector<ComponentSpec>& components = {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}},
                     int width = 8, int height = 8);

// The headers of that file up to and including the SOS header.
JpegWriter headers_for(int width, int height, const std::vector<ComponentSpec>& components);

// A block whose only non-zero coefficient is the DC one.
ZigzagBlock dc_block(int dc);
