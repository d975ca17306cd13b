// libFuzzer target: the whole decoder, marker walk included, on the
// fuzzer's bytes. A fresh DecoderState for every input, the input through
// an in-memory stream, the picture to /dev/null. The console layer is the
// harness's own: no wait, and a fatal stop that throws back to here.
#include <cstdio>
#include <memory>
#include <new>

#include "core/decoder_state.h"
#include "core/fatal.h"
#include "core/marker_walk.h"
#include "core/platform.h"

namespace {

struct HarnessStop {};

}  // namespace

void console_wait() {}

void fatal_stop(const char*) { throw HarnessStop{}; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The trace is not the point here, and printing it costs time.
    if (!std::freopen("/dev/null", "w", stdout)) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto state = std::make_unique<DecoderState>();
    state->bmp_name = "fuzz.bmp";
    try {
        try {
            init_tables(*state);
            // An empty input has no stream; the decoder reads it as ended.
            if (size > 0) state->in_file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
            state->out_file = std::fopen("/dev/null", "wb");
            walk_markers(*state);
        } catch (const std::bad_alloc&) {
            stop_out_of_memory();
        }
    } catch (const HarnessStop&) {
    }
    if (state->in_file) std::fclose(state->in_file);
    if (state->out_file) std::fclose(state->out_file);
    return 0;
}
