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

}  // namespace text
