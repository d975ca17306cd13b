#include "core/decoder.h"

#include <new>
#include <optional>

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
    // The second thread is joined as the exception leaves the stage that
    // runs it, and the record is released before the result goes back.
    std::optional<Decode> decode;
    try {
        decode.emplace(jpeg, bmp, trace, options);
        const DecodeResult::End end = walk_markers(*decode);
        return {end, "", end == DecodeResult::End::UNKNOWN_MARKER ? decode->unknown_marker : 0,
                decode->picture_written};
    } catch (const DecodeError& error) {
        return {DecodeResult::End::FAILED, error.line, 0, decode && decode->picture_written};
    } catch (const std::bad_alloc&) {
        return {DecodeResult::End::FAILED, text::out_of_memory(), 0, decode && decode->picture_written};
    }
}
