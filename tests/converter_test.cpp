// The command-line converter driven as a script would: its outputs' names,
// its exit statuses and failure lines, standard streams, what it keeps
// safe, and the pictures of every coding of the test files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/binary_run.h"
#include "support/decode_run.h"
#include "support/fixtures.h"
#include "support/jpeg_writer.h"
#include "output/bmp.h"
#include "support/sha256.h"

namespace fs = std::filesystem;

namespace {

const std::string DATA = JPEG2BMP_DATA;
const std::string USAGE_START = "Usage: jpeg2bmp-cli [OPTIONS] FILE...\n";

class ConverterTest : public testing::Test {
protected:
    void SetUp() override { folder_ = temp_folder(); }
    void TearDown() override { fs::remove_all(folder_); }
    std::string path(const std::string& name) const { return folder_ + "/" + name; }
    void place(const std::string& fixture, const std::string& as) { fs::copy_file(DATA + "/" + fixture, path(as)); }
    CommandRun run(const std::string& arguments) { return run_converter(folder_, arguments); }
    // The files of the folder, names sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string folder_;
};

// The SHA-256 of the BMP the interactive program writes for `fixture`; for
// one it refuses, of the BMP of its baseline coding.
std::string recorded_sha256(const std::string& fixture) {
    for (const FixtureExpectation& e : load_fixture_expectations(DATA + "/expected.json"))
        if (e.name == fixture && e.bmp_size > 0) return e.bmp_sha256;
    const std::string name = fixture.substr(0, fixture.find('.'));
    return sha256_hex(decode_bytes(read_file(DATA + "/reencoded/" + name + ".baseline.jpg")).bmp);
}

TEST_F(ConverterTest, EachFileBecomesABmpBesideIt) {
    fs::create_directory(path("dir.v2"));
    for (const char* name : {"photo.jpeg", "upper.JPG", "dir.v2/photo", ".hidden", "two words.jpg", "a.b.jpg"})
        place("one_pixel.jpg", name);
    const CommandRun result = run("photo.jpeg upper.JPG dir.v2/photo .hidden 'two words.jpg' a.b.jpg");
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    for (const char* name : {"photo.bmp", "upper.bmp", "dir.v2/photo.bmp", ".hidden.bmp", "two words.bmp", "a.b.bmp"})
        EXPECT_EQ(sha256_hex(read_file(path(name))), recorded_sha256("one_pixel.jpg")) << name;
}

TEST_F(ConverterTest, EveryCodingOfTheTestFilesGivesItsSourcesPicture) {
    // The files the interactive program converts, and their lossless
    // re-encodings (NAME.VARIANT.jpg from NAME.jpg): restart intervals,
    // metadata segments, progressive, several sequential scans.
    std::vector<std::pair<std::string, std::string>> files;  // path, source
    for (const FixtureExpectation& e : load_fixture_expectations(DATA + "/expected.json"))
        if (e.exit_status == 0 && e.bmp_size > 0) files.push_back({DATA + "/" + e.name, e.name});
    for (const auto& entry : fs::directory_iterator(DATA + "/reencoded")) {
        const std::string name = entry.path().filename();
        if (entry.path().extension() != ".jpg" || name.find(".baseline.") != std::string::npos) continue;
        files.push_back({entry.path(), name.substr(0, name.find('.')) + ".jpg"});
    }
    ASSERT_GE(files.size(), 70u);
    for (const auto& [file, source] : files) {
        SCOPED_TRACE(file);
        const CommandRun result = run("-o out.bmp " + shell_quoted(file));
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(sha256_hex(read_file(path("out.bmp"))), recorded_sha256(source));
    }
}

TEST_F(ConverterTest, FilesTheInteractiveProgramRefusesGiveThePictureOfTheirBaselineCoding) {
    for (const char* name : {"chelsea_progressive", "chelsea_restart", "rocket_icc"}) {
        SCOPED_TRACE(name);
        const Outcome baseline = decode_bytes(read_file(DATA + "/reencoded/" + name + ".baseline.jpg"));
        ASSERT_EQ(baseline.exit_status, 0);
        const CommandRun result = run("-o out.bmp " + shell_quoted(DATA + "/" + name + ".jpg"));
        EXPECT_EQ(result.exit_status, 0) << result.err;
        EXPECT_EQ(read_file(path("out.bmp")), baseline.bmp);
    }
}

TEST_F(ConverterTest, SixteenBitTablesGiveWhatTheLiteralStagesCompute) {
    const std::string file = shell_quoted(DATA + "/chelsea_q10_16bit_tables.jpg");
    ASSERT_EQ(run("-o out.bmp " + file).exit_status, 0);
    const std::string literal = "cd " + shell_quoted(folder_) + " && " JPEG2BMP_RUNNER " " +
                                shell_quoted(JPEG2BMP_REFERENCE_CONVERTER) + " -o literal.bmp " + file;
    ASSERT_EQ(std::system(literal.c_str()), 0);
    EXPECT_EQ(read_file(path("out.bmp")), read_file(path("literal.bmp")));
    EXPECT_EQ(read_file(path("out.bmp")).size(), 54u + 300 * 1356);
}

// The converter and its build with the literal stages on the same file.
void expect_literal_picture(const std::string& folder, const std::string& file) {
    SCOPED_TRACE(file);
    const std::string converter = "cd " + shell_quoted(folder) + " && " JPEG2BMP_RUNNER " ";
    ASSERT_EQ(std::system((converter + shell_quoted(JPEG2BMP_CONVERTER) + " -o out.bmp " + file).c_str()), 0);
    ASSERT_EQ(std::system((converter + shell_quoted(JPEG2BMP_REFERENCE_CONVERTER) + " -o literal.bmp " + file).c_str()), 0);
    EXPECT_EQ(read_file(folder + "/out.bmp"), read_file(folder + "/literal.bmp"));
}

TEST_F(ConverterTest, AnySamplingFactorsTakeTheNearestSample) {
    // cjpeg's files (luma sampled less than chroma, ratios of 4), and the
    // test encoder's ratios that are not whole.
    for (const char* name : {"sampling_1x1_2x2_1x1.jpg", "sampling_4x1_1x1_2x1_restart.jpg",
                             "sampling_2x1_1x2_1x1_progressive.jpg"})
        expect_literal_picture(folder_, shell_quoted(DATA + "/made/" + name));
    const auto sample = [](int c, int x, int y) { return c == 0 ? 30 + 5 * x + 3 * y : 128 + (c == 1 ? 2 * x : -y); };
    for (const auto& layout : {std::vector<ComponentSpec>{{1, 3, 1, 0}, {2, 2, 1, 1}, {3, 1, 1, 1}},
                               std::vector<ComponentSpec>{{1, 2, 3, 0}, {2, 1, 2, 1}, {3, 3, 1, 1}}}) {
        write_file(path("made.jpg"), encode_picture(37, 29, layout, sample));
        expect_literal_picture(folder_, "made.jpg");
    }
}

TEST_F(ConverterTest, ComponentsNotTransformedAreWrittenAsRedGreenBlue) {
    // cjpeg -rgb of a picture whose red is (4x + y) mod 256, green
    // (7y + 2x) mod 256 and blue xy mod 256, quality 90.
    ASSERT_EQ(run("-o out.bmp " + shell_quoted(DATA + "/made/rgb.jpg")).exit_status, 0);
    expect_literal_picture(folder_, shell_quoted(DATA + "/made/rgb.jpg"));
    const Bytes bmp = read_file(path("out.bmp"));
    const int width = 61, height = 37, row = 3 * width + width % 4;
    ASSERT_EQ(bmp.size(), 54u + static_cast<size_t>(row * height));
    double error[3] = {};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* pixel = &bmp[static_cast<size_t>(54 + (height - 1 - y) * row + 3 * x)];
            error[0] += std::abs(pixel[2] - (4 * x + y) % 256);
            error[1] += std::abs(pixel[1] - (7 * y + 2 * x) % 256);
            error[2] += std::abs(pixel[0] - (x * y) % 256);
        }
    }
    for (double channel : error) EXPECT_LT(channel / (width * height), 4.0);
}

// A BMP's pixels, top line first, each blue, green, red.
struct Pixels {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<std::array<uint8_t, 3>> at;  // [y * width + x]
    bool operator==(const Pixels&) const = default;
};

Pixels pixels_of(const Bytes& bmp) {
    Pixels p;
    p.width = static_cast<int32_t>(bmp[18] | bmp[19] << 8 | bmp[20] << 16);
    p.height = static_cast<int32_t>(bmp[22] | bmp[23] << 8 | bmp[24] << 16);
    const size_t row = 3 * static_cast<size_t>(p.width) + static_cast<size_t>(p.width % 4);
    for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.width; ++x) {
            const size_t at = 54 + row * static_cast<size_t>(p.height - 1 - y) + 3 * static_cast<size_t>(x);
            p.at.push_back({bmp[at], bmp[at + 1], bmp[at + 2]});
        }
    return p;
}

Pixels mirrored_left_to_right(const Pixels& p) {
    Pixels m = p;
    for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.width; ++x) m.at[y * p.width + x] = p.at[y * p.width + p.width - 1 - x];
    return m;
}

Pixels mirrored_top_to_bottom(const Pixels& p) {
    Pixels m = p;
    for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.width; ++x) m.at[y * p.width + x] = p.at[(p.height - 1 - y) * p.width + x];
    return m;
}

Pixels transposed(const Pixels& p) {
    Pixels t{p.height, p.width, p.at};
    for (int32_t y = 0; y < t.height; ++y)
        for (int32_t x = 0; x < t.width; ++x) t.at[y * t.width + x] = p.at[x * p.width + y];
    return t;
}

TEST_F(ConverterTest, AutoOrientTurnsThePictureUprightAsItsExifSays) {
    for (const char* name : {"chelsea_420", "odd_37x23"}) {
        const Pixels coded = pixels_of(decode_bytes(read_file(DATA + "/" + name + ".jpg")).bmp);
        const Pixels upright[9] = {{},
                                   coded,
                                   mirrored_left_to_right(coded),
                                   mirrored_left_to_right(mirrored_top_to_bottom(coded)),
                                   mirrored_top_to_bottom(coded),
                                   transposed(coded),
                                   mirrored_left_to_right(transposed(coded)),
                                   mirrored_left_to_right(mirrored_top_to_bottom(transposed(coded))),
                                   mirrored_top_to_bottom(transposed(coded))};
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(orientation));
            const std::string file =
                shell_quoted(DATA + "/exif/" + name + "_orientation_" + std::to_string(orientation) + ".jpg");
            ASSERT_EQ(run("-o as_coded.bmp " + file).exit_status, 0);
            EXPECT_EQ(pixels_of(read_file(path("as_coded.bmp"))), coded);
            ASSERT_EQ(run("--auto-orient -o upright.bmp " + file).exit_status, 0);
            const Bytes bmp = read_file(path("upright.bmp"));
            EXPECT_EQ(pixels_of(bmp), upright[orientation]);
            EXPECT_EQ(bmp.size(), bmp_file_size(upright[orientation].width, upright[orientation].height));
        }
        // The thumbnail inside the Exif segment is passed over with it.
        ASSERT_EQ(run("--auto-orient -o main.bmp " + shell_quoted(DATA + "/exif/" + name + "_exif_thumbnail.jpg")).exit_status, 0);
        EXPECT_EQ(pixels_of(read_file(path("main.bmp"))), coded);
    }
}

TEST_F(ConverterTest, AFileThatFailsLeavesNothingAndTheOthersAreStillConverted) {
    place("truncated.jpg", "cut.jpg");
    place("one_pixel.jpg", "good.jpg");
    std::ofstream(path("kept.bmp")) << "what was there";
    place("truncated.jpg", "kept.jpg");
    const CommandRun result = run("cut.jpg missing.jpg good.jpg kept.jpg");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err,
              "jpeg2bmp-cli: cut.jpg: unexpected end of file\n"
              "jpeg2bmp-cli: missing.jpg: No such file or directory\n"
              "jpeg2bmp-cli: kept.jpg: unexpected end of file\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"cut.jpg", "good.bmp", "good.jpg", "kept.bmp", "kept.jpg"}));
    const Bytes kept = read_file(path("kept.bmp"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "what was there");
}

TEST_F(ConverterTest, StandardInputAndOutput) {
    const std::string one_pixel = DATA + "/one_pixel.jpg";
    CommandRun result = run_converter(folder_, "-", one_pixel);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(sha256_hex(Bytes(result.out.begin(), result.out.end())), recorded_sha256("one_pixel.jpg"));
    result = run_converter(folder_, "-o - " + shell_quoted(one_pixel));
    EXPECT_EQ(sha256_hex(Bytes(result.out.begin(), result.out.end())), recorded_sha256("one_pixel.jpg"));
    result = run_converter(folder_, "-o from_input.bmp -", one_pixel);
    EXPECT_EQ(sha256_hex(read_file(path("from_input.bmp"))), recorded_sha256("one_pixel.jpg"));
    // A damaged file on standard input: its name is "-", and nothing goes out.
    result = run_converter(folder_, "-", DATA + "/truncated.jpg");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "jpeg2bmp-cli: -: unexpected end of file\n");
    EXPECT_EQ(result.out, "");
}

TEST_F(ConverterTest, AFullDeviceIsTheOutputsWriteError) {
    const std::string one_pixel = shell_quoted(DATA + "/one_pixel.jpg");
    CommandRun result = run("-o /dev/full " + one_pixel);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "jpeg2bmp-cli: /dev/full: No space left on device\n");
    result = run_converter(folder_, "-o - " + one_pixel, "/dev/null", "/dev/full");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "jpeg2bmp-cli: -: No space left on device\n");
}

TEST_F(ConverterTest, AFileSizeLimitIsTheOutputsWriteErrorAndLeavesNoFile) {
    // A BMP of 900 KiB, written while the scan goes on, against a limit of
    // some 50 KiB.
    write_file(path("photo.jpg"), encode_blocks(512, 600, {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}},
                                                [](int, int bx, int by) { return dc_block(8 * ((bx + by) % 64)); }));
    const CommandRun result = run_converter(folder_, "-o out.bmp photo.jpg", "/dev/null", "", "ulimit -f 100");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "jpeg2bmp-cli: out.bmp: File too large\n");
    EXPECT_EQ(files(), std::vector<std::string>{"photo.jpg"});
}

TEST_F(ConverterTest, ASymlinkedOutputReplacesTheFileItPointsTo) {
    place("one_pixel.jpg", "photo.jpg");
    std::ofstream(path("real.bmp")) << "old";
    fs::create_symlink("real.bmp", path("photo.bmp"));
    const CommandRun result = run("photo.jpg");
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_TRUE(fs::is_symlink(path("photo.bmp")));
    EXPECT_EQ(sha256_hex(read_file(path("real.bmp"))), recorded_sha256("one_pixel.jpg"));
    EXPECT_EQ(files(), (std::vector<std::string>{"photo.bmp", "photo.jpg", "real.bmp"}));
}

TEST_F(ConverterTest, ANewOutputHasTheModeOfAPlainCreate) {
    place("one_pixel.jpg", "photo.jpg");
    for (const auto& [mask, mode] : {std::pair{"022", 0644}, std::pair{"027", 0640}}) {
        fs::remove(path("photo.bmp"));
        const std::string command = "cd " + shell_quoted(folder_) + " && umask " + mask + " && " JPEG2BMP_RUNNER " " +
                                    shell_quoted(JPEG2BMP_CONVERTER) + " photo.jpg";
        ASSERT_EQ(std::system(command.c_str()), 0);
        struct stat status;
        ASSERT_EQ(stat(path("photo.bmp").c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, static_cast<mode_t>(mode)) << mask;
    }
}

TEST_F(ConverterTest, StoppedBySigtermItLeavesNoFileAndDiesOfTheSignal) {
    // The input is a FIFO that stays open: the conversion waits inside the
    // scan, its temporary file made, until the signal comes.
    ASSERT_EQ(mkfifo(path("slow.jpg").c_str(), 0600), 0);
    std::ofstream(path("slow.bmp")) << "kept";
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder_.c_str()) != 0) _exit(99);
        execl("/bin/sh", "sh", "-c", "exec " JPEG2BMP_RUNNER " \"$0\" slow.jpg", JPEG2BMP_CONVERTER, nullptr);
        _exit(98);
    }
    std::ofstream fifo(path("slow.jpg"), std::ios::binary);
    const Bytes jpeg = read_file(DATA + "/chelsea_420.jpg");
    fifo.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size() / 2));
    fifo.flush();
    // Wait until the temporary file beside slow.bmp exists.
    for (int tries = 0; files().size() < 3 && tries < 2000; ++tries) usleep(5000);
    ASSERT_EQ(files().size(), 3u);
    kill(child, SIGTERM);
    // Closing the FIFO ends the read the conversion waits in: under the
    // thread sanitizer, which holds a signal back until the program leaves
    // such a call, that is where it dies.
    fifo.close();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(files(), (std::vector<std::string>{"slow.bmp", "slow.jpg"}));
    const Bytes kept = read_file(path("slow.bmp"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "kept");
}

TEST_F(ConverterTest, PermissionsAreTheSystemsOwnWords) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads and writes everything";
    place("one_pixel.jpg", "locked.jpg");
    fs::permissions(path("locked.jpg"), fs::perms::none);
    CommandRun result = run("locked.jpg");
    EXPECT_EQ(result.err, "jpeg2bmp-cli: locked.jpg: Permission denied\n");
    fs::create_directory(path("shut"));
    fs::permissions(path("shut"), fs::perms::owner_read | fs::perms::owner_exec);
    result = run("-o shut/out.bmp " + shell_quoted(DATA + "/one_pixel.jpg"));
    fs::permissions(path("shut"), fs::perms::owner_all);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "jpeg2bmp-cli: shut/out.bmp: Permission denied\n");
    EXPECT_TRUE(fs::is_empty(path("shut")));
}

TEST_F(ConverterTest, UsageErrorsExitWithTwoAndTheUsage) {
    place("one_pixel.jpg", "a.jpg");
    place("one_pixel.jpg", "a.jpeg");
    place("one_pixel.jpg", "b.bmp");
    for (const char* arguments : {"--frobnicate a.jpg", "-o out.bmp a.jpg a.jpeg", "", "-o", "-o '' a.jpg",
                                  "a.jpg a.jpeg", "b.bmp", "-o a.jpg a.jpg"}) {
        SCOPED_TRACE(arguments);
        const CommandRun result = run(arguments);
        EXPECT_EQ(result.exit_status, 2);
        EXPECT_NE(result.err.find(USAGE_START), std::string::npos);
        EXPECT_EQ(result.err.substr(0, 14), "jpeg2bmp-cli: ");
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(files(), (std::vector<std::string>{"a.jpeg", "a.jpg", "b.bmp"}));
    const CommandRun help = run("--help");
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_EQ(help.out.substr(0, USAGE_START.size()), USAGE_START);
    const CommandRun version = run("--version");
    EXPECT_EQ(version.exit_status, 0);
    EXPECT_EQ(version.out.substr(0, 13), "jpeg2bmp-cli ");
}

TEST_F(ConverterTest, TheTraceHoldsTheInteractiveLinesAndSaysWhatIsNew) {
    const std::string restart = shell_quoted(DATA + "/chelsea_restart.jpg");
    CommandRun result = run("--trace -o out.bmp " + restart);
    EXPECT_EQ(result.exit_status, 0);
    for (const char* line : {"begin of image\n", "Expand reference component(s)\nAPP0 segment of 14 bytes: JFIF\n",
                             "frame header syntax\nimage size : 451 * 300\n",
                             "define restart interval\nrestart interval = 29\n",
                             "Start of Scan\nindex[0] = 0\nindex[1] = 1\nindex[2] = 2\nSs = 0, Se = 63, Ah = 0, Al = 0\n",
                             "write to file .......\nEnd of image\n"})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << result.out;
    // To standard error when the BMP goes to standard output; a heading per
    // file when there are several.
    result = run("--trace -o - " + restart);
    EXPECT_EQ(result.err.substr(0, 15), "begin of image\n");
    place("one_pixel.jpg", "a.jpg");
    place("one_pixel.jpg", "b.jpg");
    result = run("--trace a.jpg b.jpg");
    EXPECT_EQ(result.out.substr(0, 25), "==> a.jpg <==\nbegin of im");
    EXPECT_NE(result.out.find("End of image\n==> b.jpg <==\nbegin of image\n"), std::string::npos);
}

TEST_F(ConverterTest, BaselineGivesTheInteractiveProgramsPicturesAndRefusesTheRest) {
    for (const FixtureExpectation& e : load_fixture_expectations(DATA + "/expected.json")) {
        SCOPED_TRACE(e.name);
        const CommandRun result = run("--baseline -o out.bmp " + shell_quoted(DATA + "/" + e.name));
        const bool converts = e.exit_status == 0 && e.bmp_size > 0;
        EXPECT_EQ(result.exit_status, converts ? 0 : 1);
        if (converts) EXPECT_EQ(sha256_hex(read_file(path("out.bmp"))), e.bmp_sha256);
    }
    const CommandRun restart = run("--baseline -o out.bmp " + shell_quoted(DATA + "/chelsea_restart.jpg"));
    EXPECT_EQ(restart.err, "jpeg2bmp-cli: " + DATA + "/chelsea_restart.jpg: unknown instruction : DD\n");
    // A marker it does not know after the picture ends the walk with the
    // picture whole, as the interactive program's exit 0 says.
    Bytes after = read_file(DATA + "/one_pixel.jpg");
    after.insert(after.end() - 2, {0xFF, 0xE1, 0x00, 0x02});
    write_file(path("after.jpg"), after);
    const CommandRun late = run("--baseline after.jpg");
    EXPECT_EQ(late.exit_status, 0) << late.err;
    EXPECT_EQ(sha256_hex(read_file(path("after.bmp"))), recorded_sha256("one_pixel.jpg"));
}

}  // namespace
