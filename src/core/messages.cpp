// The text of every line, byte for byte as the programs have always printed
// it: saved traces are compared against it. Spelling, capitals and prefixes
// stay exactly as they are, misspellings and mixed prefixes included
// ("not sequencial", "warning!!", "Warning!!", "Warning!", "Expand reference
// component(s)").
#include "core/messages.h"

#include <cstdarg>
#include <cstdio>

namespace text {

namespace {

// printf rules. Every line is short; one longer than the buffer (a long
// file name in it) is cut rather than overrun, as it always was.
__attribute__((format(printf, 1, 2))) std::string formatted(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    return line;
}

}  // namespace

std::string prompt() { return "please insert the input file name: (without .jpg)\n"; }
std::string open_file_error(const std::string& name) { return "open file error :" + name + "\n"; }
std::string write_file_error(const std::string& name) { return "write file error :" + name + "\n"; }
std::string decode_time(double milliseconds) { return formatted("\nN58203167: Dec_Speed: %f\n", milliseconds); }
std::string press_any_key() { return "Press any key to continue . . . "; }

std::string cli_usage() {
    return "Usage: jpeg2bmp-cli [OPTIONS] FILE...\n"
           "Converts each JPEG FILE into an uncompressed 24-bit BMP beside it: its name\n"
           "with the extension replaced by .bmp (photo.jpg gives photo.bmp).\n"
           "\n"
           "  -o PATH       write the BMP to PATH (one FILE only); - is standard output\n"
           "  --trace       print each file's markers, tables, frame and scans on standard\n"
           "                output (on standard error when the BMP goes to standard output)\n"
           "  --baseline    decode as the interactive jpeg2bmp does: baseline files only,\n"
           "                every other file fails\n"
           "  --auto-orient turn the picture upright as its Exif orientation says\n"
           "                (without it, the picture is written as coded)\n"
           "  --help        print this text and exit\n"
           "  --version     print the version and exit\n"
           "\n"
           "FILE - reads standard input and, without -o, writes standard output. An output\n"
           "is replaced only once its BMP is whole; a file that fails leaves none behind.\n"
           "Exit status: 0 when every FILE was converted, 1 when any failed, 2 for a usage\n"
           "error.\n";
}
std::string cli_version(const char* version) { return std::string("jpeg2bmp-cli ") + version + "\n"; }
std::string cli_failure(const std::string& name, const std::string& reason) {
    return "jpeg2bmp-cli: " + name + ": " + reason + "\n";
}
std::string cli_usage_error(const std::string& what) { return "jpeg2bmp-cli: " + what + "\n"; }
std::string cli_file_heading(const std::string& name) { return "==> " + name + " <==\n"; }
std::string cli_same_file(const std::string& input, const std::string& output) {
    return "jpeg2bmp-cli: " + input + ": the output " + output + " is the input itself\n";
}
std::string cli_same_output(const std::string& first, const std::string& second, const std::string& output) {
    return "jpeg2bmp-cli: " + first + " and " + second + " would both be written to " + output + "\n";
}
std::string no_picture() { return "Warning! no picture in the file\n"; }

std::string begin_of_image() { return "begin of image\n"; }
std::string application_segment() { return "Expand reference component(s)\n"; }
std::string comment() { return "Comment\n"; }
std::string quantization_table() { return "define quantization table\n"; }
std::string frame_header() { return "frame header syntax\n"; }
std::string huffman_tables() { return "Define Huffman table(s)\n"; }
std::string start_of_scan() { return "Start of Scan\n"; }
std::string end_of_image() { return "End of image\n"; }
std::string unknown_marker(int code) { return formatted("unknown instruction : %02X\n", code); }
std::string image_size(int32_t width, int32_t height) { return formatted("image size : %d * %d\n", width, height); }
std::string channel_count(int32_t count) { return formatted("# of channel = %d\n", count); }
std::string channel(int32_t i, int32_t label, int32_t h, int32_t v, int32_t tq) {
    return formatted("channel %d : label = %d H = %d V = %d Tq = %d\n", i, label, h, v, tq);
}
std::string huffman_tree(int32_t tc, int32_t th, int32_t symbols) {
    return formatted("huffman tree for Tc = %d, Th = %d, symbol # = %d\n", tc, th, symbols);
}
std::string code_counts(const std::array<int32_t, 16>& counts) {
    std::string line;
    for (int32_t i = 0; i < 16; ++i) line += formatted("Li[%d]=%d ", i, counts[i]);
    return line + "\n";
}
std::string scan_index(int32_t i, int32_t position) { return formatted("index[%d] = %d\n", i, position); }
std::string largest_factors(int32_t h_max, int32_t v_max) { return formatted("H_max = %d V_max = %d\n", h_max, v_max); }
std::string plane_size(int32_t i, int32_t columns, int32_t rows) {
    return formatted("size of frame %d = %dx%d\n", i, columns, rows);
}
std::string writing_picture() { return "write to file .......\n"; }
std::string second_scan_refused() { return "Warning! only one scan is supported\n"; }

std::string segment_contents(int marker_number, int32_t length, const std::string& what) {
    return formatted("APP%d segment of %d bytes: %s\n", marker_number, length, what.c_str());
}
std::string comment_contents(int32_t length) { return formatted("comment of %d bytes\n", length); }
std::string frame_type(int code) {
    switch (code) {
        case 0xC0: return frame_header();
        case 0xC1: return "extended sequential frame header, Huffman coding (SOF1)\n";
        case 0xC2: return "progressive frame header, Huffman coding (SOF2)\n";
        case 0xC3: return "lossless frame header, Huffman coding (SOF3)\n";
        case 0xC9: return "extended sequential frame header, arithmetic coding (SOF9)\n";
        case 0xCA: return "progressive frame header, arithmetic coding (SOF10)\n";
        case 0xCB: return "lossless frame header, arithmetic coding (SOF11)\n";
        default: return formatted("hierarchical frame header (SOF%d)\n", code - 0xC0);
    }
}
std::string arithmetic_conditioning() { return "define arithmetic conditioning\n"; }
std::string restart_interval_definition() { return "define restart interval\n"; }
std::string restart_interval(int32_t interval) { return formatted("restart interval = %d\n", interval); }
std::string scan_band(int32_t ss, int32_t se, int32_t ah, int32_t al) {
    return formatted("Ss = %d, Se = %d, Ah = %d, Al = %d\n", ss, se, ah, al);
}

std::string negative_power(int32_t exponent) { return formatted("pow_int error!, P = %d\n", exponent); }
std::string huffman_ids_not_baseline() { return "Warning!! Tc & Th is not baseline\n"; }
std::string quantization_precision_not_baseline(int32_t pq_tq) {
    return formatted("warning!! Pq & Tq = %02X, Pq not baseline\n", pq_tq);
}
std::string quantization_id_out_of_range(int32_t pq_tq) {
    return formatted("warning!! Pq & Tq = %02X, Tq is out of range\n", pq_tq);
}
std::string quantization_entry_zero(int32_t tq, int32_t i) {
    return formatted("warning!! quantization table %d element %d is zero!\n", tq, i);
}
std::string sample_precision(int32_t p) { return formatted("Warning!! Sample precision = %d, not equal to 8\n", p); }
std::string frame_length(int32_t nf, int32_t lf) { return formatted("Warning!! Nf = %d, Lf = %d, not consistent\n", nf, lf); }
std::string same_labels() { return "Warning!! there are the same labels!!\n"; }
std::string sampling_out_of_range() { return "Warning!! H out of range\n"; }
std::string frame_table_out_of_range(int32_t tq) { return formatted("Warning!! Tq = %d out of range\n", tq); }
std::string scan_component_count(int32_t ns, int32_t nf) { return formatted("Warning! Ns = %d != Nf = %d\n", ns, nf); }
std::string spectral_start() { return "Warning! Ss != 0, not sequencial\n"; }
std::string spectral_end() { return "Warning! Se != 63, not sequencial\n"; }
std::string approximation() { return "Warning! Ah or Al != 0, not sequencial\n"; }
std::string no_such_component(int32_t cs) { return formatted("Warning! Cs = %d, no such component\n", cs); }
std::string layout_not_supported() { return "Warning! component layout not supported\n"; }
std::string no_such_huffman_table(int32_t td, int32_t ta) {
    return formatted("Warning! Td = %d, Ta = %d, no such Huffman table\n", td, ta);
}
std::string picture_too_large() { return "Warning! picture too large for a BMP file\n"; }
std::string end_of_file() { return "Warning! unexpected end of file\n"; }
std::string out_of_memory() { return "Warning! out of memory\n"; }
std::string invalid_huffman_code() { return "Warning! invalid Huffman code\n"; }
std::string dc_category(int32_t t) { return formatted("Warning! DC category %d out of range\n", t); }
std::string ac_run_past_block() { return "Warning! AC run past the end of the block\n"; }
std::string write_error(const std::string& name) { return formatted("Warning! write error : %s\n", name.c_str()); }

std::string segment_too_short(int32_t length) { return formatted("Warning! segment length %d too short\n", length); }
std::string restart_length(int32_t length) { return formatted("Warning! DRI length %d, not 4\n", length); }
std::string restart_marker_missing(int32_t number) {
    return formatted("Warning! restart marker RST%d missing\n", number);
}
std::string marker_out_of_place(int code) { return formatted("Warning! marker %02X out of place\n", code); }
std::string twelve_bit_samples() { return "Warning! 12-bit samples are not supported\n"; }
std::string lossless_or_hierarchical() { return "Warning! lossless and hierarchical frames are not supported\n"; }
std::string two_components() { return "Warning! two-component pictures are not supported\n"; }
std::string cmyk_pictures() { return "Warning! CMYK pictures are not supported\n"; }
std::string dnl_marker() { return "Warning! DNL markers are not supported\n"; }
std::string second_frame() { return "Warning! a second frame header after its scans\n"; }
std::string scan_after_picture() { return "Warning! a scan after the whole picture\n"; }
std::string progressive_band(int32_t ss, int32_t se, int32_t ah, int32_t al) {
    return formatted("Warning! Ss = %d, Se = %d, Ah = %d, Al = %d, no progressive scan\n", ss, se, ah, al);
}
std::string ac_size(int32_t s) { return formatted("Warning! AC size %d out of range\n", s); }
std::string conditioning_table(int32_t tc_tb, int32_t value) {
    return formatted("Warning! Tc & Tb = %02X, Cs = %d, no such conditioning table\n", tc_tb, value);
}
std::string magnitude_too_large() { return "Warning! coefficient magnitude out of range\n"; }
std::string no_dc_scan(int32_t label) { return formatted("Warning! component %d has no DC scan\n", label); }

std::string reason_of(const std::string& warning) {
    std::string words = warning;
    for (const char* prefix : {"Warning!! ", "warning!! ", "Warning! "}) {
        const std::string start(prefix);
        if (words.compare(0, start.size(), start) == 0) {
            words.erase(0, start.size());
            break;
        }
    }
    while (!words.empty() && words.back() == '\n') words.pop_back();
    return words;
}

}  // namespace text
