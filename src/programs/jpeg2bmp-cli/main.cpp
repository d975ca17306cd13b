// The command-line converter: each JPEG file named becomes a BMP beside it,
// in one process, going on past files that fail. See the usage text.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/decoder.h"
#include "core/messages.h"
#include "programs/jpeg2bmp-cli/output_file.h"

namespace {

constexpr int CONVERTED = 0;
constexpr int FAILED = 1;
constexpr int USAGE_ERROR = 2;

// The name that stands for standard input or standard output.
const std::string STANDARD = "-";

struct Settings {
    bool trace = false;
    bool baseline = false;
    bool auto_orient = false;
    std::string output;  // -o; empty: beside each file
    std::vector<std::string> files;
};

struct Conversion {
    std::string input;
    std::string output;
};

// FILE with the extension of its last part replaced by .bmp: what follows
// the part's last '.', a leading '.' not counting.
std::string bmp_name_of(const std::string& file) {
    const size_t name_start = file.rfind('/') == std::string::npos ? 0 : file.rfind('/') + 1;
    const size_t dot = file.rfind('.');
    if (dot == std::string::npos || dot <= name_start) return file + ".bmp";
    return file.substr(0, dot) + ".bmp";
}

int usage_error(const std::string& what) {
    std::fputs(text::cli_usage_error(what).c_str(), stderr);
    std::fputs(text::cli_usage().c_str(), stderr);
    return USAGE_ERROR;
}

int fail(const std::string& name, const std::string& reason) {
    std::fputs(text::cli_failure(name, reason).c_str(), stderr);
    return FAILED;
}

// The bytes of a BMP held whole, written to standard output or to a file
// that is not a regular one; an errno, or 0.
int write_whole(const std::vector<uint8_t>& bmp, const std::string& output) {
    std::FILE* to = output == STANDARD ? stdout : std::fopen(output.c_str(), "wb");
    if (!to) return errno;
    errno = 0;
    const bool written = std::fwrite(bmp.data(), 1, bmp.size(), to) == bmp.size();
    int error = written ? 0 : (errno != 0 ? errno : EIO);
    errno = 0;
    const int closed = output == STANDARD ? std::fflush(to) : std::fclose(to);
    if (closed != 0 && error == 0) error = errno != 0 ? errno : EIO;
    return error;
}

// What a decode's result says of the file; CONVERTED or FAILED, with its line.
int judge(const Conversion& c, const DecodeResult& result, int read_error, int write_error) {
    if (read_error != 0) return fail(c.input, std::strerror(read_error));
    if (write_error != 0) return fail(c.output, std::strerror(write_error));
    if (result.end == DecodeResult::End::FAILED) return fail(c.input, text::reason_of(result.warning));
    // The baseline walk ends at a marker it does not know; after the
    // picture, the picture stands.
    if (result.end == DecodeResult::End::UNKNOWN_MARKER && !result.picture_written)
        return fail(c.input, text::reason_of(text::unknown_marker(result.marker)));
    if (!result.picture_written) return fail(c.input, text::reason_of(text::no_picture()));
    return CONVERTED;
}

int convert(const Conversion& c, const Settings& settings, bool heading) {
    const bool from_standard = c.input == STANDARD;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> opened(from_standard ? nullptr : std::fopen(c.input.c_str(), "rb"),
                                                           std::fclose);
    if (!from_standard && !opened) return fail(c.input, std::strerror(errno));
    FileSource source(from_standard ? stdin : opened.get());

    const bool to_standard = c.output == STANDARD;
    NoTrace no_trace;
    StreamTrace stream_trace(to_standard ? stderr : stdout);
    TraceSink& trace = settings.trace ? static_cast<TraceSink&>(stream_trace) : no_trace;
    if (settings.trace && heading) trace.put(text::cli_file_heading(c.input));

    DecodeOptions options;
    options.walk = settings.baseline ? Walk::BASELINE : Walk::EXTENDED;
    options.auto_orient = settings.auto_orient;

    // Standard output and devices take the BMP only once it is whole, from
    // memory; a regular file is replaced by a temporary one beside it.
    const std::string target = to_standard ? STANDARD : resolved_path(c.output);
    if (to_standard || is_special_file(target)) {
        MemorySink bmp(c.output);
        const DecodeResult result = decode_jpeg(source, bmp, trace, options);
        const int verdict = judge(c, result, source.error(), 0);
        if (verdict != CONVERTED) return verdict;
        const int error = write_whole(bmp.bytes(), target);
        return error == 0 ? CONVERTED : fail(c.output, std::strerror(error));
    }
    TemporaryFile temporary(target);
    std::FILE* file = temporary.take_file();
    if (!file) return fail(c.output, std::strerror(errno));
    FileSink bmp(file, c.output);
    const DecodeResult result = decode_jpeg(source, bmp, trace, options);
    const int verdict = judge(c, result, source.error(), bmp.error());
    if (verdict != CONVERTED) return verdict;
    return temporary.commit() ? CONVERTED : fail(c.output, std::strerror(errno));
}

// Reads the command line into `settings`; a usage error's message, or "".
std::string parse(int argc, char** argv, Settings& settings, bool& help, bool& version) {
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (options_end || word == STANDARD || word.empty() || word[0] != '-') {
            settings.files.push_back(word);
        } else if (word == "--") {
            options_end = true;
        } else if (word == "-o" || word.compare(0, 2, "-o") == 0) {
            if (word == "-o" && i + 1 == argc) return "option -o needs a path";
            settings.output = word == "-o" ? argv[++i] : word.substr(2);
            if (settings.output.empty()) return "option -o needs a path";
        } else if (word == "--trace") {
            settings.trace = true;
        } else if (word == "--baseline") {
            settings.baseline = true;
        } else if (word == "--auto-orient") {
            settings.auto_orient = true;
        } else if (word == "--help") {
            help = true;
        } else if (word == "--version") {
            version = true;
        } else {
            return "unknown option " + word;
        }
    }
    return "";
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    bool help = false, version = false;
    const std::string wrong = parse(argc, argv, settings, help, version);
    if (!wrong.empty()) return usage_error(wrong);
    if (help) {
        std::fputs(text::cli_usage().c_str(), stdout);
        return CONVERTED;
    }
    if (version) {
        std::fputs(text::cli_version(JPEG2BMP_VERSION).c_str(), stdout);
        return CONVERTED;
    }
    if (settings.files.empty()) return usage_error("no FILE given");
    if (!settings.output.empty() && settings.files.size() > 1) return usage_error("-o takes one FILE only");

    std::vector<Conversion> conversions;
    for (const std::string& file : settings.files) {
        const std::string output = !settings.output.empty() ? settings.output
                                   : file == STANDARD      ? STANDARD
                                                           : bmp_name_of(file);
        conversions.push_back({file, output});
    }
    // No output may be an input, nor the output of another file.
    std::vector<std::string> resolved_outputs;
    for (const Conversion& c : conversions) {
        const std::string resolved = c.output == STANDARD ? STANDARD : resolved_path(c.output);
        if (c.input != STANDARD && c.output != STANDARD &&
            (same_existing_file(c.input, c.output) || resolved_path(c.input) == resolved)) {
            std::fputs(text::cli_same_file(c.input, c.output).c_str(), stderr);
            return usage_error("an output may not be its input");
        }
        for (size_t j = 0; j < resolved_outputs.size(); ++j) {
            const Conversion& other = conversions[j];
            if (resolved == STANDARD || resolved_outputs[j] != resolved && !same_existing_file(other.output, c.output))
                continue;
            std::fputs(text::cli_same_output(other.input, c.input, c.output).c_str(), stderr);
            return usage_error("two FILEs may not share an output");
        }
        resolved_outputs.push_back(resolved);
    }

    remove_temporary_file_on_signals();
    // A file-size limit makes a write fail with EFBIG, reported as any
    // other write error, rather than end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    int status = CONVERTED;
    for (const Conversion& c : conversions)
        if (convert(c, settings, conversions.size() > 1) != CONVERTED) status = FAILED;
    return status;
}
