#include "core/marker_walk.h"

#include "core/decode_error.h"
#include "core/format.h"
#include "core/messages.h"
#include "output/bmp.h"
#include "scan/scan.h"
#include "segments/segments.h"

namespace {

// The input may end while the walk looks for a marker. Once the picture is
// out, that ends the walk as EOI would (without its line); before, the file
// is cut short.
bool input_ended(const Decode& decode) {
    if (!decode.picture_written) fail(text::end_of_file());
    return true;
}

}  // namespace

DecodeResult::End walk_markers(Decode& decode) {
    ByteInput& in = decode.input;
    TraceSink& trace = decode.trace;
    for (;;) {
        // Segments are not skipped by their length: whatever stands between
        // a reader's last byte and the next 0xFF is passed over.
        int byte;
        do byte = read_byte(in);
        while (byte != MARKER_PREFIX && byte != END_OF_INPUT);
        if (byte == END_OF_INPUT && input_ended(decode)) return DecodeResult::End::FINISHED;

        const int code = read_byte(in);
        if (code == END_OF_INPUT && input_ended(decode)) return DecodeResult::End::FINISHED;

        switch (code) {
            case SOI: trace.put(text::begin_of_image()); break;
            case APP0: trace.put(text::application_segment()); break;
            case COM: trace.put(text::comment()); break;
            case DQT:
                trace.put(text::quantization_table());
                read_dqt(in, decode.quant);
                break;
            case SOF0:
                trace.put(text::frame_header());
                read_sof0(in, trace, decode.frame);
                break;
            case DHT:
                trace.put(text::huffman_tables());
                read_dht(in, trace, decode.huffman);
                break;
            case SOS:
                trace.put(text::start_of_scan());
                if (decode.picture_written) {
                    // The BMP is closed; a second picture has nowhere to
                    // go, and the first one stays.
                    trace.put(text::second_scan_refused());
                    return DecodeResult::End::FINISHED;
                }
                decode_scan(in, trace, decode.frame, decode.quant, decode.huffman, decode.options, decode.picture);
                trace.put(text::writing_picture());
                write_bmp(decode.picture, decode.options.simd, decode.options.second_thread, decode.bmp);
                decode.picture_written = true;
                break;
            case EOI: trace.put(text::end_of_image()); return DecodeResult::End::FINISHED;
            default: trace.put(text::unknown_marker(code)); return DecodeResult::End::UNKNOWN_MARKER;
        }
    }
}
