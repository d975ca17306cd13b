// Files cut short, damaged or made hostile: every run ends in bounded time
// with one of the program's own outcomes, and leaves an empty output file
// or a complete picture.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <random>

#include "support/binary_run.h"
#include "support/decode_run.h"
#include "support/jpeg_writer.h"

namespace {

const char* const SAMPLES[] = {"chelsea_420.jpg", "coffee_422_opt.jpg", "chelsea_gray.jpg", "odd_37x23.jpg",
                               "astronaut_411.jpg"};

Bytes sample(const char* name) { return read_file(std::string(JPEG2BMP_DATA "/") + name); }

uint32_t u32_at(const Bytes& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t{bytes[at + 3]} << 24);
}

// Decodes `file` and checks the outcome is one of the program's own, within
// a few seconds.
Outcome decode_checked(const Bytes& file, Walk walk = Walk::BASELINE) {
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = decode_bytes(file, DecodeOptions{.walk = walk});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 3.0);
    EXPECT_TRUE(outcome.exit_status == 0 || outcome.exit_status == 1);
    // Empty, or a whole picture: as long as its header says.
    if (!outcome.bmp.empty()) {
        EXPECT_GE(outcome.bmp.size(), 54u);
        if (outcome.bmp.size() >= 54u) EXPECT_EQ(u32_at(outcome.bmp, 2), outcome.bmp.size());
    }
    return outcome;
}

TEST(BadInput, EveryPrefixStopsAtTheEndOfFileOrGivesTheWholePicture) {
    for (const char* name : SAMPLES) {
        SCOPED_TRACE(name);
        const Bytes file = sample(name);
        const Outcome whole = decode_bytes(file);
        ASSERT_EQ(whole.exit_status, 0);
        const std::string picture_trace = whole.trace.substr(0, whole.trace.rfind("End of image\n"));
        // The scan's last byte is right before EOI: from there on the cut
        // falls in the search for the next marker.
        const size_t scan_end = file.size() - 2;

        std::vector<size_t> lengths;
        for (size_t length = 0; length < 700 && length < file.size(); ++length) lengths.push_back(length);
        for (size_t length = 700; length < file.size(); length += 997) lengths.push_back(length);
        for (size_t i = 700; i + 1 < scan_end; ++i)
            if (file[i] == 0xFF) lengths.push_back(i + 1);  // right after a 0xFF data byte
        for (size_t length = scan_end - 3; length < file.size(); ++length) lengths.push_back(length);

        for (size_t length : lengths) {
            SCOPED_TRACE(length);
            const Outcome cut = decode_checked(Bytes(file.begin(), file.begin() + static_cast<long>(length)));
            if (length >= scan_end) {
                EXPECT_EQ(cut.exit_status, 0);
                EXPECT_EQ(cut.trace, length == file.size() ? whole.trace : picture_trace);
                EXPECT_EQ(cut.bmp, whole.bmp);
            } else {
                EXPECT_EQ(cut.exit_status, 1);
                const std::string warning = "Warning! unexpected end of file\n";
                ASSERT_GE(cut.trace.size(), warning.size());
                EXPECT_EQ(cut.trace.substr(cut.trace.size() - warning.size()), warning);
                // What came before the warning is what the whole file printed.
                const std::string before = cut.trace.substr(0, cut.trace.size() - warning.size());
                EXPECT_EQ(whole.trace.substr(0, before.size()), before);
                EXPECT_TRUE(cut.bmp.empty());
            }
        }
    }
}

TEST(BadInput, BitFlipsAndByteSubstitutionsEverywhere) {
    std::mt19937 random(17);
    for (const char* name : SAMPLES) {
        SCOPED_TRACE(name);
        const Bytes file = sample(name);
        // The headers byte by byte, the scan data at random places.
        std::vector<size_t> offsets;
        for (size_t i = 0; i < 700 && i < file.size(); ++i) offsets.push_back(i);
        for (int i = 0; i < 150; ++i) offsets.push_back(random() % file.size());
        for (size_t offset : offsets) {
            SCOPED_TRACE(offset);
            Bytes flipped = file;
            flipped[offset] ^= static_cast<uint8_t>(1u << (random() % 8));
            decode_checked(flipped);
            Bytes substituted = file;
            const uint8_t values[] = {0x00, 0x01, 0xFF, 0x7F, 0x80, static_cast<uint8_t>(random())};
            substituted[offset] = values[random() % 6];
            decode_checked(substituted);
        }
    }
}

TEST(BadInput, ExtendedFilesCutOrDamagedAnywhere) {
    // Restart intervals, metadata segments (an Exif thumbnail with markers
    // of its own inside), 16-bit tables, progressive scans and several
    // sequential ones, arithmetic coding, sequential and progressive.
    std::mt19937 random(23);
    for (const char* name : {"reencoded/chelsea_420.restart_5_blocks.jpg", "reencoded/rocket_icc.copy_all_restart_row.jpg",
                             "reencoded/chelsea_420.exif_copy_all_restart_row.jpg", "chelsea_q10_16bit_tables.jpg",
                             "chelsea_progressive.jpg", "reencoded/odd_37x23.deep_approximation_restart.jpg",
                             "reencoded/coffee_422_opt.two_and_one.jpg", "reencoded/odd_37x23.arithmetic_restart_2_blocks.jpg",
                             "reencoded/chelsea_420.arithmetic.jpg", "reencoded/odd_37x23.arithmetic_progressive_restart_3_blocks.jpg",
                             "reencoded/coffee_422_opt.arithmetic_deep_approximation_restart.jpg"}) {
        SCOPED_TRACE(name);
        const Bytes file = sample(name);
        const Outcome whole = decode_checked(file, Walk::EXTENDED);
        ASSERT_EQ(whole.exit_status, 0) << whole.trace;
        const size_t scan_end = file.size() - 2;
        for (size_t length = 0; length < scan_end; length += length < 2000 ? 1 : 211) {
            SCOPED_TRACE(length);
            const Outcome cut = decode_checked(Bytes(file.begin(), file.begin() + static_cast<long>(length)), Walk::EXTENDED);
            EXPECT_EQ(cut.exit_status, 1);
            EXPECT_EQ(cut.trace.substr(cut.trace.size() - 32), "Warning! unexpected end of file\n");
            EXPECT_TRUE(cut.bmp.empty());
        }
        for (int i = 0; i < 400; ++i) {
            Bytes damaged = file;
            const size_t offset = random() % (i < 200 ? std::min<size_t>(file.size(), 2000) : file.size());
            damaged[offset] ^= static_cast<uint8_t>(1u << (random() % 8));
            SCOPED_TRACE(offset);
            decode_checked(damaged, Walk::EXTENDED);
        }
    }
}

TEST(BadInput, HeaderFieldsAtTheirLimits) {
    const std::vector<ComponentSpec> ycc = {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
    const Bytes file = encode_blocks(24, 16, ycc, [](int c, int bx, int by) { return dc_block(8 * (c + bx + by)); });
    // Every one- and two-byte field of every segment header.
    const size_t header_end = headers_for(24, 16, ycc).data().size();
    for (size_t offset = 2; offset + 1 < header_end; ++offset) {
        for (uint32_t value : {0u, 1u, 255u, 65535u}) {
            SCOPED_TRACE(std::to_string(offset) + " = " + std::to_string(value));
            Bytes one = file;
            one[offset] = static_cast<uint8_t>(value);
            decode_checked(one);
            Bytes two = file;
            two[offset] = static_cast<uint8_t>(value >> 8);
            two[offset + 1] = static_cast<uint8_t>(value);
            decode_checked(two);
        }
    }
}

TEST(BadInput, DamagedTablesAndScansOfEveryLayout) {
    std::mt19937 random(23);
    const std::vector<std::vector<ComponentSpec>> layouts = {
        {{1, 1, 1, 0}}, {{1, 4, 4, 0}}, {{1, 2, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}},
        {{1, 4, 2, 0}, {2, 2, 1, 1}, {3, 1, 2, 1}, {4, 1, 1, 0}}, {{1, 3, 3, 0}, {2, 1, 3, 1}, {3, 3, 1, 1}},
    };
    for (const auto& layout : layouts) {
        const Bytes file = encode_picture(40, 30, layout, [&](int, int x, int y) { return (x * y + static_cast<int>(random() % 9)) % 256; });
        for (int i = 0; i < 200; ++i) {
            Bytes damaged = file;
            for (int j = 0; j < 1 + i % 4; ++j) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
            decode_checked(damaged);
        }
    }
}

// A small file that claims a huge picture: it stops at its end, having
// touched memory only for the blocks its few bytes hold.
TEST(BadInput, HostileSizeCostsOnlyWhatIsDecoded) {
    // One code each: 0 is a DC difference of 0, and end of block.
    HuffmanSpec one_code;
    one_code.counts[0] = 1;
    one_code.symbols = {0};
    JpegWriter jpeg;
    jpeg.soi().sof0(40000, 30000, {{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}).dht(0x00, one_code).dht(0x10, one_code);
    jpeg.sos({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    Bytes file = jpeg.data();
    file.resize(100, 0x00);
    ASSERT_EQ(file.size(), 100u);

    const std::string folder = temp_folder();
    write_file(folder + "/huge.jpg", file);
    const auto start = std::chrono::steady_clock::now();
    const BinaryRun run = run_binary(folder, "huge\n");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.output.find("size of frame 0 = 40000x30000\n"), std::string::npos);
    const bool stopped = run.output.find("Warning! unexpected end of file\n") != std::string::npos ||
                         run.output.find("Warning! out of memory\n") != std::string::npos;
    EXPECT_TRUE(stopped) << run.output;
#ifndef JPEG2BMP_SANITIZED
    // AddressSanitizer's own allocator clears and shadows a large calloc:
    // the bounds hold for the program as built for use.
    EXPECT_LT(seconds, 1.0);
    EXPECT_LT(usage.ru_maxrss, 64 * 1024);  // KiB
#else
    (void)seconds;
    (void)usage;
#endif
    EXPECT_EQ(std::filesystem::file_size(folder + "/huge.bmp"), 0u);
    std::filesystem::remove_all(folder);
}

}  // namespace
