#include "support/decode_run.h"

#include <unistd.h>

#include <algorithm>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "output/bmp.h"

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string temp_folder() {
    char pattern[] = "/tmp/jpeg2bmp-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) throw std::runtime_error("mkdtemp failed");
    return made;
}

Outcome decode_bytes(const Bytes& jpeg, const DecodeOptions& options) {
    MemorySource source(jpeg);
    MemorySink bmp;
    StringTrace trace;
    const DecodeResult result = decode_jpeg(source, bmp, trace, options);
    Outcome outcome;
    outcome.end = result.end;
    outcome.exit_status = result.end == DecodeResult::End::FAILED ? 1 : 0;
    outcome.trace = trace.text() + result.warning;
    outcome.bmp = bmp.bytes();
    return outcome;
}

DecodeOn::DecodeOn(const Bytes& from, const DecodeOptions& options)
    : bytes(from), source(bytes), decode(source, bmp, trace, options) {}

Picture picture_of(int32_t width, int32_t height, const std::vector<FrameComponent>& components,
                   const std::function<int32_t(size_t, int32_t, int32_t)>& sample) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.components = components;
    picture.planes.resize(components.size());
    int32_t h_max = 1, v_max = 1;
    for (const auto& c : components) h_max = std::max(h_max, c.H), v_max = std::max(v_max, c.V);
    for (size_t i = 0; i < components.size(); ++i) {
        ComponentPlane& plane = picture.planes[i];
        if (!allocate_plane(plane, (width + 7) / 8 * 8 * components[i].H / h_max + 8,
                            (height + 7) / 8 * 8 * components[i].V / v_max + 8))
            throw std::bad_alloc();
        for (int32_t y = 0; y < plane.rows; ++y)
            for (int32_t x = 0; x < plane.columns; ++x) plane.row(y)[x] = sample(i, x, y);
    }
    return picture;
}

Bytes bmp_of(const Picture& picture, SimdPath simd) {
    MemorySink bmp;
    BmpStream stream(bmp, simd);
    stream.begin(picture, 16);
    stream.write_lines(0, picture.height, Runner::FILLER);
    stream.finish();
    return bmp.bytes();
}
