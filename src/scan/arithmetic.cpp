#include "scan/arithmetic.h"

#include "core/decode_error.h"
#include "core/format.h"
#include "core/messages.h"
#include "scan/coefficients.h"
#include "scan/scan_header.h"

namespace {

// Table D.2: each state's estimate Qe of the less probable symbol, the
// states that follow it after the less and the more probable symbol, and
// whether a less probable one exchanges the two.
struct Estimate {
    uint16_t qe;
    uint8_t next_lps;
    uint8_t next_mps;
    bool exchange;
};

constexpr Estimate ESTIMATES[113] = {
    {0x5A1D, 1, 1, true},     {0x2586, 14, 2, false},   {0x1114, 16, 3, false},   {0x080B, 18, 4, false},
    {0x03D8, 20, 5, false},   {0x01DA, 23, 6, false},   {0x00E5, 25, 7, false},   {0x006F, 28, 8, false},
    {0x0036, 30, 9, false},   {0x001A, 33, 10, false},  {0x000D, 35, 11, false},  {0x0006, 9, 12, false},
    {0x0003, 10, 13, false},  {0x0001, 12, 13, false},  {0x5A7F, 15, 15, true},   {0x3F25, 36, 16, false},
    {0x2CF2, 38, 17, false},  {0x207C, 39, 18, false},  {0x17B9, 40, 19, false},  {0x1182, 42, 20, false},
    {0x0CEF, 43, 21, false},  {0x09A1, 45, 22, false},  {0x072F, 46, 23, false},  {0x055C, 48, 24, false},
    {0x0406, 49, 25, false},  {0x0303, 51, 26, false},  {0x0240, 52, 27, false},  {0x01B1, 54, 28, false},
    {0x0144, 56, 29, false},  {0x00F5, 57, 30, false},  {0x00B7, 59, 31, false},  {0x008A, 60, 32, false},
    {0x0068, 62, 33, false},  {0x004E, 63, 34, false},  {0x003B, 32, 35, false},  {0x002C, 33, 9, false},
    {0x5AE1, 37, 37, true},   {0x484C, 64, 38, false},  {0x3A0D, 65, 39, false},  {0x2EF1, 67, 40, false},
    {0x261F, 68, 41, false},  {0x1F33, 69, 42, false},  {0x19A8, 70, 43, false},  {0x1518, 72, 44, false},
    {0x1177, 73, 45, false},  {0x0E74, 74, 46, false},  {0x0BFB, 75, 47, false},  {0x09F8, 77, 48, false},
    {0x0861, 78, 49, false},  {0x0706, 79, 50, false},  {0x05CD, 48, 51, false},  {0x04DE, 50, 52, false},
    {0x040F, 50, 53, false},  {0x0363, 51, 54, false},  {0x02D4, 52, 55, false},  {0x025C, 53, 56, false},
    {0x01F8, 54, 57, false},  {0x01A4, 55, 58, false},  {0x0160, 56, 59, false},  {0x0125, 57, 60, false},
    {0x00F6, 58, 61, false},  {0x00CB, 59, 62, false},  {0x00AB, 61, 63, false},  {0x008F, 61, 32, false},
    {0x5B12, 65, 65, true},   {0x4D04, 80, 66, false},  {0x412C, 81, 67, false},  {0x37D8, 82, 68, false},
    {0x2FE8, 83, 69, false},  {0x293C, 84, 70, false},  {0x2379, 86, 71, false},  {0x1EDF, 87, 72, false},
    {0x1AA9, 87, 73, false},  {0x174E, 72, 74, false},  {0x1424, 72, 75, false},  {0x119C, 74, 76, false},
    {0x0F6B, 74, 77, false},  {0x0D51, 75, 78, false},  {0x0BB6, 77, 79, false},  {0x0A40, 77, 48, false},
    {0x5832, 80, 81, true},   {0x4D1C, 88, 82, false},  {0x438E, 89, 83, false},  {0x3BDD, 90, 84, false},
    {0x34EE, 91, 85, false},  {0x2EAE, 92, 86, false},  {0x299A, 93, 87, false},  {0x2516, 86, 71, false},
    {0x5570, 88, 89, true},   {0x4CA9, 95, 90, false},  {0x44D9, 96, 91, false},  {0x3E22, 97, 92, false},
    {0x3824, 99, 93, false},  {0x32B4, 99, 94, false},  {0x2E17, 93, 86, false},  {0x56A8, 95, 96, true},
    {0x4F46, 101, 97, false}, {0x47E5, 102, 98, false}, {0x41CF, 103, 99, false}, {0x3C3D, 104, 100, false},
    {0x375E, 99, 93, false},  {0x5231, 105, 102, false}, {0x4C0F, 106, 103, false}, {0x4639, 107, 104, false},
    {0x415E, 103, 99, false}, {0x5627, 105, 106, true},  {0x50E7, 108, 107, false}, {0x4B85, 109, 103, false},
    {0x5597, 110, 109, false}, {0x504F, 111, 107, false}, {0x5A10, 110, 111, true},  {0x5522, 112, 109, false},
    {0x59EB, 112, 111, true},
};

// The DC bins: per class c (0, 4, 8, 12, 16) S0 = c, SS = c + 1, SP = c + 2,
// SN = c + 3; the powers X1 to X15 from 20, the bits M2 to M15 14 above
// theirs.
constexpr int32_t DC_POWERS = 20;
// The AC bins: per index k, SE = 3 (k - 1), S0 = SE + 1, SN/SP = SE + 2;
// the powers from X2 on below or above Kx.
constexpr int32_t AC_POWERS_LOW = 189;
constexpr int32_t AC_POWERS_HIGH = 217;
constexpr int32_t BITS_ABOVE_POWERS = 14;
// No magnitude of 8-bit samples reaches 2^15.
constexpr int32_t MAGNITUDE_LIMIT = 0x8000;
// Past the marker that ends its data an interval takes zeros (an encoder
// drops the zero bytes its code ends with), and a flat block costs next to
// no bits: without a bound, a header that claims a huge picture would
// decode all of it from nothing. 2^20 blocks is a flat tail of 64 million
// samples, far more than any picture ends with; past it, the data is taken
// to be cut short.
constexpr int32_t BLOCKS_PAST_DATA = 1 << 20;

int32_t bit_width(int32_t value) {
    int32_t bits = 0;
    for (uint32_t v = static_cast<uint32_t>(value < 0 ? -static_cast<int64_t>(value) : value); v != 0; v >>= 1) ++bits;
    return bits;
}

}  // namespace

void read_dac(ByteInput& in, ArithmeticConditioning& conditioning) {
    int32_t remaining = read_segment_u16(in) - 2;
    for (; remaining >= 2; remaining -= 2) {
        const int32_t tc_tb = read_segment_byte(in);
        const int32_t value = read_segment_byte(in);
        const int32_t tc = tc_tb / 16;
        const int32_t tb = tc_tb % 16;
        if (tc > 1 || tb > 3) fail(text::conditioning_table(tc_tb, value));
        if (tc == 0) {
            if (value % 16 > value / 16) fail(text::conditioning_table(tc_tb, value));
            conditioning.dc_lower[tb] = value % 16;
            conditioning.dc_upper[tb] = value / 16;
        } else {
            if (value < 1 || value > 63) fail(text::conditioning_table(tc_tb, value));
            conditioning.ac_split[tb] = value;
        }
    }
}

ArithmeticScanDecoder::ArithmeticScanDecoder(ByteInput& in, const ScanHeader& header,
                                             const ArithmeticConditioning& conditioning, Pass pass)
    : in_(in), header_(header), conditioning_(conditioning), pass_(pass), dc_pred_(header.components.size(), 0),
      dc_class_(header.components.size(), 0) {
    // Only the tables the pass reads must exist: an AC scan's Td and a DC
    // scan's Ta may be anything.
    const bool dc = reads_dc_tables(pass);
    const bool ac = reads_ac_tables(pass);
    for (const ScanComponent& component : header.components)
        if ((dc && component.Td > 3) || (ac && component.Ta > 3))
            fail(text::no_such_huffman_table(component.Td, component.Ta));
    start();
}

// Initdec (D.2.6): the first two bytes in the code register.
void ArithmeticScanDecoder::start() {
    interval_ = 0x10000;
    code_ = 0;
    at_marker_ = false;
    blocks_past_data_ = 0;
    byte_in();
    code_ <<= 8;
    byte_in();
    code_ <<= 8;
    bits_left_ = 0;
}

// Byte_in (D.2.8): the next data byte below the register's upper 16 bits.
// A 0xFF followed by 0x00 is a data 0xFF; one followed by anything else is
// a marker, where the data ends: from there on the register takes zeros and
// the marker stays in the input. A scan's data always ends at a marker, so
// the end of the input is the file cut short.
void ArithmeticScanDecoder::byte_in() {
    if (at_marker_) return;
    const int byte = read_byte(in_);
    if (byte == END_OF_INPUT) fail(text::end_of_file());
    if (byte == MARKER_PREFIX) {
        const int next = read_byte(in_);
        if (next == END_OF_INPUT) fail(text::end_of_file());
        if (next != 0) {
            return_to_offset(in_, input_offset(in_) - 2);
            at_marker_ = true;
            return;
        }
    }
    code_ += static_cast<uint32_t>(byte) << 8;
}

// Decode (D.2.2), with the conditional exchange of the two sub-intervals
// and the renormalization.
int32_t ArithmeticScanDecoder::decode_bit(ArithmeticBin& bin) {
    const Estimate& estimate = ESTIMATES[bin.state];
    const uint32_t qe = estimate.qe;
    interval_ -= qe;
    int32_t symbol;
    bool less_probable;
    if ((code_ >> 16) < interval_) {
        if (interval_ >= 0x8000) return bin.mps;
        less_probable = interval_ < qe;
    } else {
        code_ -= interval_ << 16;
        less_probable = !(interval_ < qe);
        interval_ = qe;
    }
    if (less_probable) {
        symbol = 1 - bin.mps;
        if (estimate.exchange) bin.mps = static_cast<uint8_t>(1 - bin.mps);
        bin.state = estimate.next_lps;
    } else {
        symbol = bin.mps;
        bin.state = estimate.next_mps;
    }
    do {
        if (bits_left_ == 0) {
            byte_in();
            bits_left_ = 8;
        }
        interval_ <<= 1;
        code_ <<= 1;
        --bits_left_;
    } while (interval_ < 0x8000);
    return symbol;
}

// A decision of the fixed estimate 0.5 (state 0, never adapted): the sign
// of an AC coefficient.
int32_t ArithmeticScanDecoder::decode_half() {
    ArithmeticBin fixed;
    return decode_bit(fixed);
}

int32_t ArithmeticScanDecoder::magnitude(ArithmeticBin* first, ArithmeticBin* powers, bool first_is_power) {
    ArithmeticBin* bin = first;
    int32_t power = decode_bit(*bin);
    if (power != 0) {
        // The first bin tells Sz >= 1; the AC model asks it again for Sz >= 2.
        if (first_is_power && decode_bit(*bin) == 0) return 1;
        if (first_is_power) power = 2;
        bin = powers;
        while (decode_bit(*bin)) {
            power <<= 1;
            if (power >= MAGNITUDE_LIMIT) fail(text::magnitude_too_large());
            ++bin;
        }
    }
    int32_t value = power;
    bin += BITS_ABOVE_POWERS;
    for (int32_t bit = power >> 1; bit != 0; bit >>= 1)
        if (decode_bit(*bin)) value |= bit;
    return value;
}

void ArithmeticScanDecoder::decode(size_t i, int32_t* block) {
    if (at_marker_ && ++blocks_past_data_ > BLOCKS_PAST_DATA) fail(text::end_of_file());
    switch (pass_) {
        case Pass::SEQUENTIAL:
            dc_first(i, block);
            ac_first(i, block, 1, 63);
            break;
        case Pass::DC_FIRST: dc_first(i, block); break;
        case Pass::DC_REFINE:
            if (decode_half()) block[0] |= shifted(1, header_.al);
            break;
        case Pass::AC_FIRST: ac_first(i, block, header_.ss, header_.se); break;
        case Pass::AC_REFINE: ac_refine(i, block); break;
    }
}

// The DC difference (F.1.4.4.1), its first bin chosen by the class of the
// one before; a progressive first scan codes the DC shifted down by Al.
void ArithmeticScanDecoder::dc_first(size_t i, int32_t* block) {
    const ScanComponent& component = header_.components[i];
    std::array<ArithmeticBin, 49>& dc = dc_bins_[static_cast<size_t>(component.Td)];
    int32_t difference = 0;
    if (decode_bit(dc[static_cast<size_t>(dc_class_[i])]) == 0) {
        dc_class_[i] = 0;
    } else {
        const int32_t sign = decode_bit(dc[static_cast<size_t>(dc_class_[i] + 1)]);
        ArithmeticBin* first = &dc[static_cast<size_t>(dc_class_[i] + 2 + sign)];
        const int32_t sz = magnitude(first, &dc[DC_POWERS], false);
        // The class of this difference, by its power of two.
        int32_t power = 0;
        for (int32_t v = sz; v > 1; v >>= 1) ++power;
        const int32_t top = sz == 0 ? 0 : int32_t{1} << power;
        const int32_t lower = (int32_t{1} << conditioning_.dc_lower[static_cast<size_t>(component.Td)]) >> 1;
        const int32_t upper = (int32_t{1} << conditioning_.dc_upper[static_cast<size_t>(component.Td)]) >> 1;
        dc_class_[i] = top < lower ? 0 : top > upper ? 12 + 4 * sign : 4 + 4 * sign;
        difference = sign ? -(sz + 1) : sz + 1;
        const int32_t bits = bit_width(difference);
        if (bits + header_.al > EXTENDED_LIMITS.dc_category) fail(text::dc_category(bits));
    }
    dc_pred_[i] = static_cast<int32_t>(static_cast<uint32_t>(dc_pred_[i]) + static_cast<uint32_t>(difference));
    block[0] = shifted(dc_pred_[i], header_.al);
}

// The AC coefficients `first` to `last` (F.1.4.4.2, G.1.3.2), each index
// with bins of its own: whether the block ends here, whether this
// coefficient is zero, its sign at the fixed estimate, its magnitude.
void ArithmeticScanDecoder::ac_first(size_t i, int32_t* block, int32_t first, int32_t last) {
    const ScanComponent& component = header_.components[i];
    std::array<ArithmeticBin, 245>& ac = ac_bins_[static_cast<size_t>(component.Ta)];
    const int32_t split = conditioning_.ac_split[static_cast<size_t>(component.Ta)];
    for (int32_t k = first; k <= last; ++k) {
        if (decode_bit(ac[static_cast<size_t>(3 * (k - 1))])) break;  // end of block
        while (decode_bit(ac[static_cast<size_t>(3 * (k - 1) + 1)]) == 0)
            if (++k > last) fail(text::ac_run_past_block());
        const int32_t sign = decode_half();
        ArithmeticBin* powers = &ac[static_cast<size_t>(k <= split ? AC_POWERS_LOW : AC_POWERS_HIGH)];
        const int32_t sz = magnitude(&ac[static_cast<size_t>(3 * (k - 1) + 2)], powers, true);
        const int32_t value = sign ? -(sz + 1) : sz + 1;
        const int32_t bits = bit_width(value);
        if (bits + header_.al > EXTENDED_LIMITS.ac_size) fail(text::ac_size(bits));
        block[ZIGZAG[k]] = shifted(value, header_.al);
    }
}

// An AC refinement (G.1.3.3): past the band's last coefficient already
// non-zero, whether the block ends; then, coefficient by coefficient, a
// correction bit for one already non-zero (in the bin of its first
// magnitude) or whether a zero one becomes +-2^Al, and its sign.
void ArithmeticScanDecoder::ac_refine(size_t i, int32_t* block) {
    std::array<ArithmeticBin, 245>& ac = ac_bins_[static_cast<size_t>(header_.components[i].Ta)];
    int32_t last_non_zero = header_.ss - 1;
    for (int32_t k = header_.se; k >= header_.ss; --k) {
        if (block[ZIGZAG[k]] != 0) {
            last_non_zero = k;
            break;
        }
    }
    const int32_t step = shifted(1, header_.al);
    for (int32_t k = header_.ss; k <= header_.se; ++k) {
        if (k > last_non_zero && decode_bit(ac[static_cast<size_t>(3 * (k - 1))])) break;  // end of block
        for (;;) {
            int32_t& coefficient = block[ZIGZAG[k]];
            if (coefficient != 0) {
                correct(coefficient, header_.al, decode_bit(ac[static_cast<size_t>(3 * (k - 1) + 2)]) != 0);
                break;
            }
            if (decode_bit(ac[static_cast<size_t>(3 * (k - 1) + 1)])) {
                coefficient = decode_half() ? -step : step;
                break;
            }
            if (++k > header_.se) fail(text::ac_run_past_block());
        }
    }
}

// At the end of an interval the data stops at its marker, which must be
// the one in turn; the estimates, the classes and the predictors start
// again.
void ArithmeticScanDecoder::restart(int32_t number) {
    if (!at_marker_) {
        // The rest of the interval's data, up to its marker.
        for (;;) {
            const int byte = read_byte(in_);
            if (byte == END_OF_INPUT) fail(text::end_of_file());
            if (byte != MARKER_PREFIX) continue;
            const int next = read_byte(in_);
            if (next == END_OF_INPUT) fail(text::end_of_file());
            if (next == 0) continue;
            return_to_offset(in_, input_offset(in_) - 2);
            break;
        }
    }
    expect_restart_marker(in_, number);
    for (auto& bins : dc_bins_) bins.fill({});
    for (auto& bins : ac_bins_) bins.fill({});
    dc_pred_.assign(dc_pred_.size(), 0);
    dc_class_.assign(dc_class_.size(), 0);
    start();
}
