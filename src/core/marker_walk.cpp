#include "core/marker_walk.h"

#include <string>

#include "core/decode_error.h"
#include "core/format.h"
#include "core/messages.h"
#include "output/bmp.h"
#include "scan/coefficients.h"
#include "scan/scan.h"
#include "segments/exif.h"
#include "segments/segments.h"

namespace {

// Three components are Y, Cb, Cr unless an Adobe segment says they are not
// transformed or their labels are 'R', 'G', 'B'.
bool is_rgb(const Decode& decode) {
    const std::vector<FrameComponent>& c = decode.frame.components;
    if (c.size() != 3) return false;
    return decode.adobe_transform == 0 || (c[0].label == 'R' && c[1].label == 'G' && c[2].label == 'B');
}

// Decodes the picture with `decode_into` and writes it: passed on to the
// BMP as its rows come, the header once they are all in; or, where it is
// to be turned upright, held whole first.
template <typename DecodeInto>
void decode_and_write(Decode& decode, DecodeInto decode_into) {
    decode.picture.rgb = decode.options.walk == Walk::EXTENDED && is_rgb(decode);
    if (decode.options.auto_orient && decode.orientation > 1) {
        decode_into(nullptr);
        decode.trace.put(text::writing_picture());
        write_oriented_bmp(decode.picture, decode.orientation, decode.options.simd, decode.bmp);
    } else {
        BmpStream stream(decode.bmp, decode.options.simd);
        decode_into(&stream);
        decode.trace.put(text::writing_picture());
        stream.finish();
    }
    decode.picture_written = true;
}

// The picture of a frame coded in several scans, once they are all in.
void finish_coefficients(Decode& decode) {
    if (decode.coefficients.components.empty() || decode.picture_written) return;
    decode_and_write(decode, [&](BmpStream* stream) {
        coefficients_to_picture(decode.frame, decode.quant, decode.options, decode.coefficients, decode.picture,
                                stream);
    });
}

// The input may end while the walk looks for a marker. Once the picture is
// out, that ends the walk as EOI would (without its line); before, the file
// is cut short. A frame coded in several scans ends with EOI: without it,
// there is no knowing whether scans are missing.
bool input_ended(const Decode& decode) {
    if (!decode.picture_written) fail(text::end_of_file());
    return true;
}

// A sequential scan of the whole frame, and the BMP of its picture.
void decode_picture(Decode& decode, const ScanHeader& header) {
    decode_and_write(decode, [&](BmpStream* stream) {
        decode_scan(decode.input, decode.trace, header, decode.frame, decode.quant, decode.huffman,
                    decode.restart_interval, decode.options, decode.picture, stream);
    });
}

// Whether the scan holds every component of a sequential frame, in frame
// order: the whole picture, at once.
bool whole_frame(const FrameHeader& frame, const ScanHeader& header) {
    if (frame.progressive || frame.arithmetic || header.components.size() != frame.components.size()) return false;
    for (size_t i = 0; i < header.components.size(); ++i)
        if (header.components[i].Cs != frame.components[i].label) return false;
    return true;
}

// The code of the next marker, or END_OF_INPUT. Whatever stands between a
// reader's last byte and the next 0xFF is passed over. With `fill_bytes`,
// any 0xFF bytes before the code are fill; without, a second 0xFF is the
// code.
int next_marker(ByteInput& in, bool fill_bytes) {
    int byte;
    do byte = read_byte(in);
    while (byte != MARKER_PREFIX && byte != END_OF_INPUT);
    if (byte == END_OF_INPUT) return END_OF_INPUT;
    int code = read_byte(in);
    while (fill_bytes && code == MARKER_PREFIX) code = read_byte(in);
    return code;
}

DecodeResult::End walk_baseline(Decode& decode) {
    ByteInput& in = decode.input;
    TraceSink& trace = decode.trace;
    for (;;) {
        // Segments are not skipped by their length.
        const int code = next_marker(in, false);
        if (code == END_OF_INPUT && input_ended(decode)) return DecodeResult::End::FINISHED;

        switch (code) {
            case SOI: trace.put(text::begin_of_image()); break;
            case APP0: trace.put(text::application_segment()); break;
            case COM: trace.put(text::comment()); break;
            case DQT:
                trace.put(text::quantization_table());
                read_dqt(in, Walk::BASELINE, decode.quant);
                break;
            case SOF0:
                trace.put(text::frame_header());
                read_sof0(in, trace, Walk::BASELINE, decode.frame);
                break;
            case DHT:
                trace.put(text::huffman_tables());
                read_dht(in, trace, Walk::BASELINE, decode.huffman);
                break;
            case SOS:
                trace.put(text::start_of_scan());
                if (decode.picture_written) {
                    // The BMP is closed; a second picture has nowhere to
                    // go, and the first one stays.
                    trace.put(text::second_scan_refused());
                    return DecodeResult::End::FINISHED;
                }
                decode_picture(decode, read_scan_header(in, Walk::BASELINE, decode.frame));
                break;
            case EOI: trace.put(text::end_of_image()); return DecodeResult::End::FINISHED;
            default:
                trace.put(text::unknown_marker(code));
                decode.unknown_marker = code;
                return DecodeResult::End::UNKNOWN_MARKER;
        }
    }
}

// The length field of a skipped segment, which counts itself: the bytes
// that follow it.
int32_t payload_length(ByteInput& in) {
    const int32_t length = read_segment_u16(in);
    if (length < 2) fail(text::segment_too_short(length));
    return length - 2;
}

// What an application segment holds, by the signature its payload opens
// with.
std::string contents_of(int number, const std::string& head) {
    const auto opens = [&](const char* signature, size_t size) { return head.compare(0, size, signature, size) == 0; };
    if (number == 0 && opens("JFIF\0", 5)) return "JFIF";
    if (number == 0 && opens("JFXX\0", 5)) return "JFIF extension";
    if (number == 1 && opens("Exif\0\0", 6)) return "Exif";
    if (number == 1 && opens("http://ns.adobe.com/xap/1.0/\0", 29)) return "XMP";
    if (number == 1 && opens("http://ns.adobe.com/xmp/extension/\0", 35)) return "extended XMP";
    if (number == 2 && opens("ICC_PROFILE\0", 12)) return "ICC profile";
    if (number == 2 && opens("MPF\0", 4)) return "multi-picture format";
    if (number == 13 && opens("Photoshop 3.0\0", 14)) return "Photoshop";
    if (number == 14 && opens("Adobe", 5)) return "Adobe";
    return "not recognised";
}

// Skips an APPn segment by its length, saying what it holds; an Adobe
// segment's colour transform and the first Exif orientation are kept.
void read_application(Decode& decode, int number) {
    // The Adobe segment's transform byte is its twelfth.
    constexpr size_t ADOBE_TRANSFORM_AT = 11;
    const int32_t length = payload_length(decode.input);
    // At most 65533 bytes, the largest length less its own two.
    std::string payload;
    for (int32_t i = 0; i < length; ++i) payload.push_back(static_cast<char>(read_segment_byte(decode.input)));
    const std::string what = contents_of(number, payload);
    if (what == "Adobe" && payload.size() > ADOBE_TRANSFORM_AT)
        decode.adobe_transform = static_cast<uint8_t>(payload[ADOBE_TRANSFORM_AT]);
    if (what == "Exif" && decode.orientation == 0) decode.orientation = exif_orientation(payload);
    decode.trace.put(text::segment_contents(number, length, what));
}

DecodeResult::End walk_extended(Decode& decode) {
    ByteInput& in = decode.input;
    TraceSink& trace = decode.trace;
    for (;;) {
        const int code = next_marker(in, true);
        if (code == END_OF_INPUT && input_ended(decode)) return DecodeResult::End::FINISHED;

        switch (code) {
            case SOI: trace.put(text::begin_of_image()); break;
            case COM:
                trace.put(text::comment());
                {
                    const int32_t length = payload_length(in);
                    for (int32_t i = 0; i < length; ++i) read_segment_byte(in);
                    trace.put(text::comment_contents(length));
                }
                break;
            case DQT:
                trace.put(text::quantization_table());
                read_dqt(in, Walk::EXTENDED, decode.quant);
                break;
            case SOF0:
            case SOF1:
            case SOF2:
            case SOF9:
            case SOF10:
                trace.put(text::frame_type(code));
                // The scans so far were laid out for the first frame.
                if (!decode.coefficients.components.empty() || decode.picture_written) fail(text::second_frame());
                read_sof0(in, trace, Walk::EXTENDED, decode.frame);
                decode.frame.progressive = code == SOF2 || code == SOF10;
                decode.frame.arithmetic = code == SOF9 || code == SOF10;
                if (decode.frame.component_count == 2) fail(text::two_components());
                if (decode.frame.component_count == 4) fail(text::cmyk_pictures());
                break;
            case SOF3:
            case SOF11:
                trace.put(text::frame_type(code));
                fail(text::lossless_or_hierarchical());
            case DAC:
                trace.put(text::arithmetic_conditioning());
                read_dac(in, decode.conditioning);
                break;
            case DHT:
                trace.put(text::huffman_tables());
                read_dht(in, trace, Walk::EXTENDED, decode.huffman);
                break;
            case DRI: {
                trace.put(text::restart_interval_definition());
                const int32_t length = read_segment_u16(in);
                if (length != 4) fail(text::restart_length(length));
                decode.restart_interval = read_segment_u16(in);
                trace.put(text::restart_interval(decode.restart_interval));
                break;
            }
            case SOS: {
                trace.put(text::start_of_scan());
                if (decode.picture_written) fail(text::scan_after_picture());
                const ScanHeader header = read_scan_header(in, Walk::EXTENDED, decode.frame);
                if (decode.coefficients.components.empty() && whole_frame(decode.frame, header)) {
                    decode_picture(decode, header);
                } else {
                    decode_coefficient_scan(in, trace, header, decode.frame, decode.huffman, decode.conditioning,
                                            decode.restart_interval, Walk::EXTENDED, decode.coefficients);
                }
                break;
            }
            case EOI:
                finish_coefficients(decode);
                trace.put(text::end_of_image());
                return DecodeResult::End::FINISHED;
            case DNL: fail(text::dnl_marker());
            case TEM: break;
            default:
                if (code >= APP0 && code <= APP15) {
                    if (code == APP0) trace.put(text::application_segment());
                    read_application(decode, code - APP0);
                } else if ((code >= SOF5 && code <= SOF7) || (code >= SOF13 && code <= SOF15)) {
                    trace.put(text::frame_type(code));
                    fail(text::lossless_or_hierarchical());
                } else if (code < RST0 || code > RST7) {
                    // A restart marker outside the scan is a stray that
                    // some encoders leave after the last interval.
                    fail(text::marker_out_of_place(code));
                }
        }
    }
}

}  // namespace

DecodeResult::End walk_markers(Decode& decode) {
    return decode.options.walk == Walk::EXTENDED ? walk_extended(decode) : walk_baseline(decode);
}
