#include "support/jpeg_writer.h"

#include <cmath>
#include <stdexcept>

#include "core/format.h"

const HuffmanSpec DC_LUMINANCE = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const HuffmanSpec DC_CHROMINANCE = {{0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const HuffmanSpec AC_LUMINANCE = {
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
    {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71, 0x14,
     0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09,
     0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a,
     0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65,
     0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88,
     0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9,
     0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
     0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea,
     0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};
const HuffmanSpec AC_CHROMINANCE = {
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
    {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22, 0x32,
     0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16,
     0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39,
     0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
     0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x82, 0x83, 0x84, 0x85, 0x86,
     0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7,
     0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8,
     0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9,
     0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};

CodeBook code_book(const HuffmanSpec& spec) {
    CodeBook book{};
    uint32_t code = 0;
    size_t next = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < spec.counts[length - 1]; ++i) book[spec.symbols.at(next++)] = Code{code++, length};
        code <<= 1;
    }
    return book;
}

void BitWriter::put_bits(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
        pending_ = (pending_ << 1) | ((bits >> i) & 1u);
        if (++pending_count_ == 8) {
            bytes_.push_back(static_cast<uint8_t>(pending_));
            if (pending_ == 0xFF) bytes_.push_back(0x00);
            pending_ = 0;
            pending_count_ = 0;
        }
    }
}

void BitWriter::put_symbol(const CodeBook& book, int symbol) {
    const Code code = book.at(static_cast<size_t>(symbol));
    if (code.length == 0) throw std::logic_error("symbol not in table");
    put_bits(code.bits, code.length);
}

void BitWriter::put_value(int value, int category) {
    const int coded = value < 0 ? value - 1 : value;
    put_bits(static_cast<uint32_t>(coded) & ((1u << category) - 1u), category);
}

Bytes BitWriter::finish() {
    if (pending_count_ > 0) put_bits(0xFF, 8 - pending_count_);
    return bytes_;
}

int category_of(int value) {
    int magnitude = value < 0 ? -value : value;
    int category = 0;
    while (magnitude > 0) {
        ++category;
        magnitude >>= 1;
    }
    return category;
}

void encode_block(BitWriter& out, const ZigzagBlock& block, int& dc_pred, const CodeBook& dc, const CodeBook& ac) {
    const int difference = block[0] - dc_pred;
    dc_pred = block[0];
    const int dc_category = category_of(difference);
    out.put_symbol(dc, dc_category);
    out.put_value(difference, dc_category);
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        if (block[k] == 0) {
            ++run;
            continue;
        }
        for (; run >= 16; run -= 16) out.put_symbol(ac, 0xF0);
        const int category = category_of(block[k]);
        out.put_symbol(ac, run * 16 + category);
        out.put_value(block[k], category);
        run = 0;
    }
    if (run > 0) out.put_symbol(ac, 0x00);
}

JpegWriter& JpegWriter::marker(int code) {
    data_.push_back(0xFF);
    data_.push_back(static_cast<uint8_t>(code));
    return *this;
}

JpegWriter& JpegWriter::bytes(const Bytes& raw) {
    data_.insert(data_.end(), raw.begin(), raw.end());
    return *this;
}

JpegWriter& JpegWriter::segment(int code, const Bytes& payload) {
    marker(code);
    const size_t length = payload.size() + 2;
    data_.push_back(static_cast<uint8_t>(length >> 8));
    data_.push_back(static_cast<uint8_t>(length & 0xFF));
    return bytes(payload);
}

JpegWriter& JpegWriter::soi() { return marker(0xD8); }
JpegWriter& JpegWriter::eoi() { return marker(0xD9); }

JpegWriter& JpegWriter::app0() {
    return segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
}

JpegWriter& JpegWriter::comment(const std::string& text) { return segment(0xFE, Bytes(text.begin(), text.end())); }

JpegWriter& JpegWriter::dqt(int pq_tq, const std::array<int, 64>& entries) {
    Bytes payload{static_cast<uint8_t>(pq_tq)};
    for (int entry : entries) payload.push_back(static_cast<uint8_t>(entry));
    return segment(0xDB, payload);
}

JpegWriter& JpegWriter::sof0(int width, int height, const std::vector<ComponentSpec>& components, int precision) {
    Bytes payload{static_cast<uint8_t>(precision), static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                  static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width),
                  static_cast<uint8_t>(components.size())};
    for (const ComponentSpec& c : components) {
        payload.push_back(static_cast<uint8_t>(c.label));
        payload.push_back(static_cast<uint8_t>(c.H * 16 + c.V));
        payload.push_back(static_cast<uint8_t>(c.Tq));
    }
    return segment(0xC0, payload);
}

JpegWriter& JpegWriter::dht(int tc_th, const HuffmanSpec& spec) {
    Bytes payload{static_cast<uint8_t>(tc_th)};
    payload.insert(payload.end(), spec.counts.begin(), spec.counts.end());
    payload.insert(payload.end(), spec.symbols.begin(), spec.symbols.end());
    return segment(0xC4, payload);
}

JpegWriter& JpegWriter::sos(const std::vector<ScanComponentSpec>& components, int ss, int se, int ah_al) {
    Bytes payload{static_cast<uint8_t>(components.size())};
    for (const ScanComponentSpec& c : components) {
        payload.push_back(static_cast<uint8_t>(c.Cs));
        payload.push_back(static_cast<uint8_t>(c.Td * 16 + c.Ta));
    }
    payload.push_back(static_cast<uint8_t>(ss));
    payload.push_back(static_cast<uint8_t>(se));
    payload.push_back(static_cast<uint8_t>(ah_al));
    return segment(0xDA, payload);
}

std::array<int, 64> flat_table(int value) {
    std::array<int, 64> table;
    table.fill(value);
    return table;
}

ZigzagBlock dc_block(int dc) {
    ZigzagBlock block{};
    block[0] = dc;
    return block;
}

namespace {

std::vector<ScanComponentSpec> scan_in_frame_order(const std::vector<ComponentSpec>& components) {
    std::vector<ScanComponentSpec> scan;
    for (size_t i = 0; i < components.size(); ++i) {
        const int table = i == 0 ? 0 : 1;
        scan.push_back({components[i].label, table, table});
    }
    return scan;
}

}  // namespace

JpegWriter headers_for(int width, int height, const std::vector<ComponentSpec>& components) {
    JpegWriter jpeg;
    jpeg.soi().app0().dqt(0x00, flat_table(1)).dqt(0x01, flat_table(1)).sof0(width, height, components);
    jpeg.dht(0x00, DC_LUMINANCE).dht(0x10, AC_LUMINANCE).dht(0x01, DC_CHROMINANCE).dht(0x11, AC_CHROMINANCE);
    jpeg.sos(scan_in_frame_order(components));
    return jpeg;
}

Bytes encode_scan_data(int width, int height, const std::vector<ComponentSpec>& components, const BlockSource& blocks) {
    const CodeBook books[2][2] = {{code_book(DC_LUMINANCE), code_book(AC_LUMINANCE)},
                                  {code_book(DC_CHROMINANCE), code_book(AC_CHROMINANCE)}};
    BitWriter out;
    std::vector<int> dc_pred(components.size(), 0);
    auto put = [&](size_t c, int bx, int by) {
        const CodeBook* book = books[c == 0 ? 0 : 1];
        encode_block(out, blocks(static_cast<int>(c), bx, by), dc_pred[c], book[0], book[1]);
    };
    if (components.size() == 1) {
        for (int by = 0; by < ceil_div(height, 8); ++by)
            for (int bx = 0; bx < ceil_div(width, 8); ++bx) put(0, bx, by);
        return out.finish();
    }
    int h_max = 1, v_max = 1;
    for (const ComponentSpec& c : components) {
        h_max = std::max(h_max, c.H);
        v_max = std::max(v_max, c.V);
    }
    const int mcus_x = ceil_div(width, 8 * h_max);
    const int mcus_y = ceil_div(height, 8 * v_max);
    for (int my = 0; my < mcus_y; ++my)
        for (int mx = 0; mx < mcus_x; ++mx)
            for (size_t c = 0; c < components.size(); ++c)
                for (int r = 0; r < components[c].V; ++r)
                    for (int col = 0; col < components[c].H; ++col)
                        put(c, mx * components[c].H + col, my * components[c].V + r);
    return out.finish();
}

Bytes encode_blocks(int width, int height, const std::vector<ComponentSpec>& components, const BlockSource& blocks,
                    const std::array<int, 64>& table0, const std::array<int, 64>& table1) {
    JpegWriter jpeg;
    jpeg.soi().app0().dqt(0x00, table0).dqt(0x01, table1).sof0(width, height, components);
    jpeg.dht(0x00, DC_LUMINANCE).dht(0x10, AC_LUMINANCE).dht(0x01, DC_CHROMINANCE).dht(0x11, AC_CHROMINANCE);
    jpeg.sos(scan_in_frame_order(components));
    jpeg.bytes(encode_scan_data(width, height, components, blocks)).eoi();
    return jpeg.data();
}

Bytes encode_picture(int width, int height, const std::vector<ComponentSpec>& components, const SampleSource& sample,
                     const std::array<int, 64>& table) {
    const double pi = 3.14159265358979323846;
    auto forward_dct = [&](int c, int bx, int by) {
        ZigzagBlock block{};
        for (int k = 0; k < 64; ++k) {
            const int u = ZIGZAG[k] % 8, v = ZIGZAG[k] / 8;
            double sum = 0;
            for (int x = 0; x < 8; ++x)
                for (int y = 0; y < 8; ++y)
                    sum += (sample(c, bx * 8 + x, by * 8 + y) - 128) * std::cos((2 * x + 1) * u * pi / 16) *
                           std::cos((2 * y + 1) * v * pi / 16);
            const double cu = u == 0 ? std::sqrt(0.5) : 1.0, cv = v == 0 ? std::sqrt(0.5) : 1.0;
            block[k] = static_cast<int>(std::lround(0.25 * cu * cv * sum / table[k]));
        }
        return block;
    };
    return encode_blocks(width, height, components, forward_dct, table, table);
}

Bytes file_with_scan(const Bytes& scan, const std::vector<ComponentSpec>& components, int width, int height) {
    JpegWriter jpeg = headers_for(width, height, components);
    return jpeg.bytes(scan).eoi().data();
}
