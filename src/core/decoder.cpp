#include "core/decoder.h"

#include <new>

#include "core/decode.h"
#include "core/decode_error.h"
#include "core/marker_walk.h"
#include "core/messages.h"

SimdPath best_simd_path() {
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
    if (__builtin_cpu_supports("avx2")) return SimdPath::AVX2;
#endif
    return SimdPath::BASELINE;
}

DecodeResult decode_jpeg(ByteSource& jpeg, ByteSink& bmp, TraceSink& trace, const DecodeOptions& options) {
    // Everything the decode allocated is released, and its second thread
    // joined, as the exception leaves the walk.
    bool picture_written = false;
    try {
        Decode decode(jpeg, bmp, trace, options);
        try {
            const DecodeResult::End end = walk_markers(decode);
            return {end, "", end == DecodeResult::End::UNKNOWN_MARKER ? decode.unknown_marker : 0,
                    decode.picture_written};
        } catch (...) {
            picture_written = decode.picture_written;
            throw;
        }
    } catch (const DecodeError& error) {
        return {DecodeResult::End::FAILED, error.line, 0, picture_written};
    } catch (const std::bad_alloc&) {
        return {DecodeResult::End::FAILED, text::out_of_memory(), 0, picture_written};
    }
}
