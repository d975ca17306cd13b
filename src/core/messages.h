// Every line the programs print: the prompt, the trace of the decode, the
// warnings that stop it and the time line. Each is named here and written
// out once, in messages.cpp; no other file repeats any of it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace text {

// The interactive program's own lines.
std::string prompt();
std::string open_file_error(const std::string& name);
std::string write_file_error(const std::string& name);
std::string decode_time(double milliseconds);
std::string press_any_key();

// The converter's own lines.
std::string cli_usage();
std::string cli_version(const char* version);
std::string cli_failure(const std::string& name, const std::string& reason);
std::string cli_usage_error(const std::string& what);
std::string cli_file_heading(const std::string& name);
std::string cli_same_file(const std::string& input, const std::string& output);
std::string cli_same_output(const std::string& first, const std::string& second, const std::string& output);
std::string no_picture();

// The trace, a line per marker and per header field.
std::string begin_of_image();
std::string application_segment();
std::string comment();
std::string quantization_table();
std::string frame_header();
std::string huffman_tables();
std::string start_of_scan();
std::string end_of_image();
std::string unknown_marker(int code);
std::string image_size(int32_t width, int32_t height);
std::string channel_count(int32_t count);
std::string channel(int32_t i, int32_t label, int32_t h, int32_t v, int32_t tq);
std::string huffman_tree(int32_t tc, int32_t th, int32_t symbols);
std::string code_counts(const std::array<int32_t, 16>& counts);
std::string scan_index(int32_t i, int32_t position);
std::string largest_factors(int32_t h_max, int32_t v_max);
std::string plane_size(int32_t i, int32_t columns, int32_t rows);
std::string writing_picture();
std::string second_scan_refused();

// The extended walk's own trace lines.
std::string segment_contents(int marker_number, int32_t length, const std::string& what);
std::string comment_contents(int32_t length);
std::string frame_type(int code);
std::string restart_interval_definition();
std::string arithmetic_conditioning();
std::string restart_interval(int32_t interval);
std::string scan_band(int32_t ss, int32_t se, int32_t ah, int32_t al);

// The warnings that stop a decode.
std::string negative_power(int32_t exponent);
std::string huffman_ids_not_baseline();
std::string quantization_precision_not_baseline(int32_t pq_tq);
std::string quantization_id_out_of_range(int32_t pq_tq);
std::string quantization_entry_zero(int32_t tq, int32_t i);
std::string sample_precision(int32_t p);
std::string frame_length(int32_t nf, int32_t lf);
std::string same_labels();
std::string sampling_out_of_range();
std::string frame_table_out_of_range(int32_t tq);
std::string scan_component_count(int32_t ns, int32_t nf);
std::string spectral_start();
std::string spectral_end();
std::string approximation();
std::string no_such_component(int32_t cs);
std::string layout_not_supported();
std::string no_such_huffman_table(int32_t td, int32_t ta);
std::string picture_too_large();
std::string end_of_file();
std::string out_of_memory();
std::string invalid_huffman_code();
std::string dc_category(int32_t t);
std::string ac_run_past_block();
std::string write_error(const std::string& name);

// The extended walk's faults, and what it refuses.
std::string segment_too_short(int32_t length);
std::string restart_length(int32_t length);
std::string restart_marker_missing(int32_t number);
std::string marker_out_of_place(int code);
std::string twelve_bit_samples();
std::string lossless_or_hierarchical();
std::string two_components();
std::string cmyk_pictures();
std::string dnl_marker();
std::string scan_after_picture();
std::string second_frame();
std::string progressive_band(int32_t ss, int32_t se, int32_t ah, int32_t al);
std::string ac_size(int32_t s);
std::string no_dc_scan(int32_t label);
std::string conditioning_table(int32_t tc_tb, int32_t value);
std::string magnitude_too_large();

// The words of a warning line without its leading "Warning!" (in any of
// its spellings) and its line end.
std::string reason_of(const std::string& warning);

}  // namespace text
