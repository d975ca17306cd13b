// libFuzzer target: the whole decoder, marker walk included, on the
// fuzzer's bytes through its interface, by the rules of both walks: the
// input from memory, no trace, the picture to /dev/null (which cannot
// seek, so that the rows are held) or, where the input's last byte is odd,
// to a temporary file (which can, so that they are placed as they come).
// Every outcome comes back as a result; a crash, a leak or undefined
// behaviour is a finding.
#include <cstdio>

#include "core/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool placed = size > 0 && data[size - 1] % 2 == 1;
    for (Walk walk : {Walk::BASELINE, Walk::EXTENDED}) {
        MemorySource jpeg({data, size});
        std::FILE* file = placed ? std::tmpfile() : std::fopen("/dev/null", "wb");
        if (!file) return 0;
        FileSink bmp(file, "fuzz.bmp");
        NoTrace trace;
        decode_jpeg(jpeg, bmp, trace, DecodeOptions{.walk = walk});
    }
    return 0;
}
