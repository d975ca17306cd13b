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

BinaryRun run_binary(const std::string& folder, const std::string& typed) {
    return run_binary_at(JPEG2BMP_BINARY, folder, typed);
}

BinaryRun run_binary_at(const std::string& program, const std::string& folder, const std::string& typed) {
    const std::string typed_file = folder + "/.typed";
    const std::string output_file = folder + "/.output";
    std::ofstream(typed_file) << typed;
    const std::string command =
        "cd '" + folder + "' && " JPEG2BMP_RUNNER " '" + program + "' < .typed > .output 2>&1";
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
