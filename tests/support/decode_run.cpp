#include "support/decode_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

#include "core/fatal.h"
#include "core/program.h"

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

namespace {

std::string without_time_line(const std::string& printed) {
    const auto at = printed.rfind("\nN58203167: Dec_Speed: ");
    return at == std::string::npos ? printed : printed.substr(0, at);
}

}  // namespace

Outcome decode_bytes(const Bytes& jpeg) {
    const std::string folder = temp_folder();
    const std::string base = folder + "/picture";
    write_file(base + ".jpg", jpeg);

    Outcome outcome;
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    {
        auto state = std::make_unique<DecoderState>();
        try {
            try {
                run_program(*state, base);
            } catch (const std::bad_alloc&) {
                stop_out_of_memory();
            }
        } catch (const FatalStop&) {
            outcome.exit_status = 1;
        }
        // As at the end of the process: an output file still open is closed.
        if (state->out_file) std::fclose(state->out_file);
        if (state->in_file) std::fclose(state->in_file);
    }
    std::fflush(stdout);
    outcome.trace = without_time_line(testing::internal::GetCapturedStdout());
    outcome.bmp_exists = std::filesystem::exists(base + ".bmp");
    if (outcome.bmp_exists) outcome.bmp = read_file(base + ".bmp");
    std::filesystem::remove_all(folder);
    return outcome;
}

StateOnBytes::StateOnBytes(const Bytes& bytes) {
    init_tables(state);
    state.in_file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), state.in_file);
    std::rewind(state.in_file);
}

StateOnBytes::~StateOnBytes() {
    if (state.in_file) std::fclose(state.in_file);
    if (state.out_file) std::fclose(state.out_file);
}
