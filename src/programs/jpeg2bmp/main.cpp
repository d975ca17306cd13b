// The interactive program: asks for a base name, decodes NAME.jpg into
// NAME.bmp with the trace on standard output, and reports the decode time
// in milliseconds of processor time (of both threads together: the second
// one works for this decode alone, so the process's clock is the decode's).
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>

#include "core/decoder.h"
#include "core/messages.h"
#include "programs/jpeg2bmp/console.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// From the name typed to the last wait; the exit status.
int convert(const std::string& base_name) {
    const std::clock_t start = std::clock();
    const std::string jpg_name = base_name + ".jpg";
    const std::string bmp_name = base_name + ".bmp";

    std::unique_ptr<std::FILE, FileCloser> jpg(std::fopen(jpg_name.c_str(), "rb"));
    if (!jpg) {
        std::cout << text::open_file_error(jpg_name) << std::flush;
        console_wait();
        return 0;
    }
    FileSource source(jpg.get());
    // Created (or truncated) before any decoding: a run that stops early
    // leaves it empty.
    std::FILE* bmp_file = std::fopen(bmp_name.c_str(), "wb");
    if (!bmp_file) {
        std::cout << text::write_file_error(bmp_name) << std::flush;
        console_wait();
        return 0;
    }
    FileSink bmp(bmp_file, bmp_name);
    StreamTrace trace(stdout);

    const DecodeResult result = decode_jpeg(source, bmp, trace);
    if (result.end == DecodeResult::End::FAILED) {
        // The BMP stays as the decode left it: empty before the picture,
        // whole after it, as far as it got after a write error.
        std::fputs(result.warning.c_str(), stdout);
        console_wait();
        return 1;
    }
    if (result.end == DecodeResult::End::UNKNOWN_MARKER) console_wait();
    jpg.reset();
    const std::clock_t ticks = std::clock() - start;
    std::fputs(text::decode_time(static_cast<double>(ticks) * 1000.0 / CLOCKS_PER_SEC).c_str(), stdout);
    console_wait();
    return 0;
}

}  // namespace

int main() {
#ifdef SIGXFSZ
    // A file-size limit makes a write fail with EFBIG, reported as any
    // other write error, rather than end the process.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    std::fputs(text::prompt().c_str(), stdout);
    std::fflush(stdout);
    // No word at all leaves the name empty, and ".jpg" is reported missing.
    std::string base_name;
    std::cin >> base_name;
    return convert(base_name);
}
