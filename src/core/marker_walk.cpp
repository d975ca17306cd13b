#include "core/marker_walk.h"

#include <cstdio>

#include "core/fatal.h"
#include "core/input.h"
#include "core/platform.h"
#include "scan/scan.h"
#include "segments/segments.h"

namespace {

// The input may end while the walk looks for a marker. Once the picture is
// out, that ends the walk as EOI would (without its line); before, the file
// is cut short.
bool input_ended(const DecoderState& state) {
    if (!state.picture_written) stop_at_end_of_file();
    return true;
}

}  // namespace

void walk_markers(DecoderState& state) {
    for (;;) {
        // Segments are not skipped by their length: whatever stands between
        // a reader's last byte and the next 0xFF is passed over.
        int byte;
        do byte = read_byte(state);
        while (byte != MARKER_PREFIX && byte != END_OF_INPUT);
        if (byte == END_OF_INPUT && input_ended(state)) return;

        const int code = read_byte(state);
        if (code == END_OF_INPUT && input_ended(state)) return;

        switch (code) {
            case SOI: std::printf("begin of image\n"); break;
            case APP0: std::printf("Expand reference component(s)\n"); break;
            case COM: std::printf("Comment\n"); break;
            case DQT:
                std::printf("define quantization table\n");
                read_dqt(state);
                break;
            case SOF0:
                std::printf("frame header syntax\n");
                read_sof0(state);
                break;
            case DHT:
                std::printf("Define Huffman table(s)\n");
                read_dht(state);
                break;
            case SOS:
                std::printf("Start of Scan\n");
                if (state.picture_written) {
                    // The output file is closed; a second picture has
                    // nowhere to go, and the first one stays.
                    std::printf("Warning! only one scan is supported\n");
                    return;
                }
                decode_scan(state);
                break;
            case EOI: std::printf("End of image\n"); return;
            default:
                std::printf("unknown instruction : %02X\n", code);
                console_wait();
                return;
        }
    }
}
