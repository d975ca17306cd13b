// The built program driven through a pipe, as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/binary_run.h"
#include "support/decode_run.h"
#include "support/fixtures.h"
#include "support/jpeg_writer.h"
#include "support/sha256.h"

namespace fs = std::filesystem;

namespace {

const std::string PROMPT = "please insert the input file name: (without .jpg)\n";

class ProgramTest : public testing::Test {
protected:
    void SetUp() override { folder_ = temp_folder(); }
    void TearDown() override { fs::remove_all(folder_); }
    std::string path(const std::string& name) const { return folder_ + "/" + name; }
    BinaryRun run(const std::string& typed) { return run_binary(folder_, typed); }
    std::string folder_;
};

Bytes small_picture() {
    return encode_blocks(8, 8, {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, [](int, int, int) { return dc_block(0); });
}

TEST_F(ProgramTest, NameTypedGivesBothFileNames) {
    write_file(path("photo.jpg"), small_picture());
    const BinaryRun result = run("photo\n");
    const SplitOutput out = split_output(result.output);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(out.prompt, PROMPT);
    EXPECT_TRUE(out.timed);
    EXPECT_EQ(read_file(path("photo.bmp")).size(), 54u + 8 * 24);
}

TEST_F(ProgramTest, NameWithExtensionOpensDoubleExtension) {
    write_file(path("photo.jpg.jpg"), small_picture());
    const BinaryRun result = run("photo.jpg\n");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(fs::exists(path("photo.jpg.bmp")));
}

TEST_F(ProgramTest, MissingInputIsReportedWithoutTime) {
    const BinaryRun result = run("nothing\n");
    const SplitOutput out = split_output(result.output);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(out.trace, "open file error :nothing.jpg\n");
    EXPECT_FALSE(out.timed);
    EXPECT_FALSE(fs::exists(path("nothing.bmp")));
}

TEST_F(ProgramTest, NoWordAtThePromptOpensDotJpg) {
    const BinaryRun result = run("");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(split_output(result.output).trace, "open file error :.jpg\n");
}

TEST_F(ProgramTest, UnwritableOutputIsReportedWithoutTime) {
    write_file(path("photo.jpg"), small_picture());
    fs::create_directory(path("photo.bmp"));
    const BinaryRun result = run("photo\n");
    const SplitOutput out = split_output(result.output);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(out.trace, "write file error :photo.bmp\n");
    EXPECT_FALSE(out.timed);
}

TEST_F(ProgramTest, UnknownMarkersEndTheWalkWithTheTimeAndAnEmptyPicture) {
    const struct {
        Bytes tail;
        std::string line;
    } cases[] = {
        {{0xFF, 0xDD, 0x00, 0x04, 0x00, 0x10}, "unknown instruction : DD\n"},
        {{0xFF, 0xFF, 0xD9}, "unknown instruction : FF\n"},
        {{0xFF, 0xE1, 0x00, 0x02}, "unknown instruction : E1\n"},
    };
    for (const auto& c : cases) {
        Bytes file = {0xFF, 0xD8};
        file.insert(file.end(), c.tail.begin(), c.tail.end());
        write_file(path("photo.jpg"), file);
        const BinaryRun result = run("photo\n");
        const SplitOutput out = split_output(result.output);
        EXPECT_EQ(result.exit_status, 0);
        EXPECT_EQ(out.trace, "begin of image\n" + c.line);
        EXPECT_TRUE(out.timed);
        EXPECT_TRUE(fs::exists(path("photo.bmp")));
        EXPECT_EQ(fs::file_size(path("photo.bmp")), 0u);
    }
}

TEST_F(ProgramTest, FatalWarningExitsWithOneAndLeavesAnEmptyPicture) {
    write_file(path("photo.jpg"), {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x10});
    const BinaryRun result = run("photo\n");
    const SplitOutput out = split_output(result.output);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(out.trace,
              "begin of image\ndefine quantization table\nwarning!! Pq & Tq = 10, Pq not baseline\n");
    EXPECT_FALSE(out.timed);
    EXPECT_EQ(fs::file_size(path("photo.bmp")), 0u);
}

TEST_F(ProgramTest, FullDiskIsAWriteError) {
    write_file(path("photo.jpg"), encode_blocks(64, 64, {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}},
                                                [](int, int, int) { return dc_block(0); }));
    fs::create_symlink("/dev/full", path("photo.bmp"));
    const BinaryRun result = run("photo\n");
    const SplitOutput out = split_output(result.output);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_NE(out.trace.find("write to file .......\nWarning! write error : photo.bmp\n"), std::string::npos);
    EXPECT_FALSE(out.timed);
}

TEST_F(ProgramTest, AFileSizeLimitIsAWriteErrorAfterTheScanNotAKill) {
    // A BMP of 900 KiB, whose rows are written while the scan goes on,
    // against a limit of some 50 KiB.
    write_file(path("photo.jpg"), encode_blocks(512, 600, {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}},
                                                [](int, int bx, int by) { return dc_block(8 * ((bx + by) % 64)); }));
    const BinaryRun result = run_binary_at(JPEG2BMP_BINARY, folder_, "photo\n", "ulimit -f 100");
    const SplitOutput out = split_output(result.output);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(out.trace.substr(out.trace.find("size of frame 2")),
              "size of frame 2 = 256x304\nwrite to file .......\nWarning! write error : photo.bmp\n");
    EXPECT_FALSE(out.timed);
}

TEST_F(ProgramTest, EveryFixtureGivesItsRecordedTraceStatusAndPicture) {
    for (const FixtureExpectation& fixture : load_fixture_expectations(JPEG2BMP_DATA "/expected.json")) {
        SCOPED_TRACE(fixture.name);
        const std::string base = fixture.name.substr(0, fixture.name.size() - 4);
        fs::copy_file(JPEG2BMP_DATA "/" + fixture.name, path(fixture.name));
        const BinaryRun result = run(base + "\n");
        const SplitOutput out = split_output(result.output);
        EXPECT_EQ(out.prompt, PROMPT);
        EXPECT_EQ(result.exit_status, fixture.exit_status);
        EXPECT_EQ(out.trace, joined(fixture.trace));
        EXPECT_EQ(out.timed, fixture.exit_status == 0);
        const Bytes bmp = read_file(path(base + ".bmp"));
        EXPECT_EQ(static_cast<long long>(bmp.size()), fixture.bmp_size);
        EXPECT_EQ(sha256_hex(bmp), fixture.bmp_sha256);
    }
}

// The program and its reference build (the literal stages) on the same
// files: pictures of every layout, then the same cut short and damaged.
TEST_F(ProgramTest, SameOutcomeAsTheReferenceBuildOnMadeAndDamagedFiles) {
    const std::vector<std::vector<ComponentSpec>> layouts = {
        {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, {{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}},
        {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, {{1, 1, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}},
        {{1, 4, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}, {{1, 1, 1, 0}}, {{1, 2, 2, 0}},
    };
    uint32_t seed = 1;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
    std::vector<Bytes> files;
    for (const auto& layout : layouts) {
        for (auto size : {std::pair{1, 1}, std::pair{37, 23}, std::pair{50, 17}}) {
            const Bytes file = encode_picture(size.first, size.second, layout, [&](int c, int x, int y) {
                return static_cast<int>((x * 7 + y * 3 + c * 50 + next() % 40) % 256);
            });
            files.push_back(file);
            Bytes cut = file;
            cut.resize(file.size() - 2 - next() % (file.size() / 3));
            files.push_back(cut);
            Bytes flipped = file;
            for (int i = 0; i < 4; ++i) flipped[file.size() / 3 + next() % (file.size() * 2 / 3)] ^= 1u << (next() % 8);
            files.push_back(flipped);
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        write_file(path("photo.jpg"), files[i]);
        const BinaryRun program = run("photo\n");
        const Bytes program_bmp = read_file(path("photo.bmp"));
        const BinaryRun reference = run_binary_at(JPEG2BMP_REFERENCE_BINARY, folder_, "photo\n");
        EXPECT_EQ(program.exit_status, reference.exit_status);
        EXPECT_EQ(split_output(program.output).trace, split_output(reference.output).trace);
        EXPECT_EQ(program_bmp, read_file(path("photo.bmp")));
    }
}

}  // namespace
