#include "support/binary_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#ifndef JPEG2BMP_BINARY
#error "JPEG2BMP_BINARY names the program under test"
#endif
#ifndef JPEG2BMP_RUNNER
#define JPEG2BMP_RUNNER ""
#endif
#ifndef JPEG2BMP_CONVERTER
#define JPEG2BMP_CONVERTER ""
#endif

BinaryRun run_binary(const std::string& folder, const std::string& typed) {
    return run_binary_at(JPEG2BMP_BINARY, folder, typed);
}

BinaryRun run_binary_at(const std::string& program, const std::string& folder, const std::string& typed,
                        const std::string& setup) {
    const std::string typed_file = folder + "/.typed";
    const std::string output_file = folder + "/.output";
    std::ofstream(typed_file) << typed;
    const std::string command =
        "cd '" + folder + "' && " + setup + " && " JPEG2BMP_RUNNER " '" + program + "' < .typed > .output 2>&1";
    const int status = std::system(command.c_str());
    BinaryRun run;
    if (WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
    std::ifstream in(output_file);
    std::stringstream text;
    text << in.rdbuf();
    run.output = text.str();
    std::remove(typed_file.c_str());
    std::remove(output_file.c_str());
    return run;
}

SplitOutput split_output(const std::string& output) {
    SplitOutput split;
    const auto first_end = output.find('\n');
    split.prompt = output.substr(0, first_end + 1);
    split.trace = first_end == std::string::npos ? "" : output.substr(first_end + 1);
    static const std::regex time_line("\nN58203167: Dec_Speed: [0-9]+\\.[0-9]{6}\n$");
    std::smatch match;
    if (std::regex_search(split.trace, match, time_line)) {
        split.timed = true;
        split.trace = split.trace.substr(0, static_cast<size_t>(match.position(0)));
    }
    return split;
}

std::string shell_quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

namespace {

std::string taken_from(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(path.c_str());
    return text.str();
}

}  // namespace

CommandRun run_converter(const std::string& folder, const std::string& arguments, const std::string& input,
                         const std::string& output, const std::string& setup) {
    // The captured streams live outside the folder, whose files the tests count.
    const std::string out_file = output.empty() ? folder + ".out" : output, err_file = folder + ".err";
    const std::string command = "cd " + shell_quoted(folder) + " && " + setup + " && " JPEG2BMP_RUNNER " " +
                                shell_quoted(JPEG2BMP_CONVERTER) + " " +
                                arguments + " < " + shell_quoted(input) + " > " + shell_quoted(out_file) + " 2> " + shell_quoted(err_file);
    const int status = std::system(command.c_str());
    CommandRun run;
    if (WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
    if (output.empty()) run.out = taken_from(out_file);
    run.err = taken_from(err_file);
    return run;
}
