// The decoder's interface: one baseline JPEG stream in, one BMP out, and a
// trace of every marker, table, frame, scan and plane on the way.
//
//   FileSource source(stdin);
//   FileSink bmp(std::fopen("picture.bmp", "wb"), "picture.bmp");
//   StreamTrace trace(stdout);
//   const DecodeResult result = decode_jpeg(source, bmp, trace);
//
// A decode never ends the process, prints only to its trace and throws
// nothing: whatever stops it comes back as its warning line, with the
// second thread joined and everything it allocated released.
#pragma once

#include <string>

#include "core/io.h"

// Which vector instructions the block transform and the colour conversion
// use; every path gives the same bytes.
enum class SimdPath { BASELINE, AVX2 };

// The best path this processor has.
SimdPath best_simd_path();

// Which files a decode takes.
enum class Walk {
    // The interactive program's walk: the markers of a baseline file and
    // nothing else (APP0 and COM passed over up to the next 0xFF, any other
    // marker ends the walk).
    BASELINE,
    // Everyday files: every APPn and COM skipped by its length, fill bytes
    // before a marker, restart intervals, extended sequential frames
    // (SOF1) with Huffman tables 0 to 3, 16-bit quantization tables. What
    // it does not decode it refuses by name.
    EXTENDED,
};

struct DecodeOptions {
    Walk walk = Walk::BASELINE;
    SimdPath simd = best_simd_path();
    // Whether dequantization, the inverse DCT and the colour conversion also
    // run on a second thread (where the process may use two processors).
    bool second_thread = true;
    // Whether an extended file's Exif orientation turns the picture
    // upright; without it the picture is written as coded.
    bool auto_orient = false;
};

struct DecodeResult {
    enum class End {
        // EOI, or the input's end after the picture was written, or a second
        // scan refused (its line is in the trace).
        FINISHED,
        // A marker the baseline walk does not handle; its line is the
        // trace's last.
        UNKNOWN_MARKER,
        // The decode stopped at a fault: `warning` says which.
        FAILED,
    };
    End end = End::FINISHED;
    std::string warning;  // one line, '\n' included; empty unless FAILED
    int marker = 0;       // the code of the marker of UNKNOWN_MARKER
    // Whether the BMP was written whole (and the sink closed).
    bool picture_written = false;
};

// Decodes `jpeg` from where it stands into `bmp`. The BMP is written and
// `bmp` closed once the scan is decoded; a decode that fails before then
// writes nothing to it, one that fails after keeps the picture.
DecodeResult decode_jpeg(ByteSource& jpeg, ByteSink& bmp, TraceSink& trace, const DecodeOptions& options = {});
