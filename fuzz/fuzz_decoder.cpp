// libFuzzer target: the whole decoder, marker walk included, on the
// fuzzer's bytes through its interface, by the rules of both walks: the
// input from memory, the picture to /dev/null, no trace. Every outcome
// comes back as a result; a crash, a leak or undefined behaviour is a
// finding.
#include <cstdio>

#include "core/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (Walk walk : {Walk::BASELINE, Walk::EXTENDED}) {
        MemorySource jpeg({data, size});
        std::FILE* null = std::fopen("/dev/null", "wb");
        if (!null) return 0;
        FileSink bmp(null, "fuzz.bmp");
        NoTrace trace;
        decode_jpeg(jpeg, bmp, trace, DecodeOptions{.walk = walk});
    }
    return 0;
}
