// The decoder's interface: every stop comes back as a result, decodes in
// one process share nothing, and the sources and sinks of memory and files
// give the same bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <new>

#include "support/decode_run.h"
#include "support/fixtures.h"
#include "support/jpeg_writer.h"
#include "support/sha256.h"

namespace {

const std::vector<ComponentSpec> YCC_420 = {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};

Bytes picture_file() {
    return encode_blocks(64, 48, YCC_420, [](int c, int bx, int by) { return dc_block(8 * (c + bx - by)); });
}

Bytes with(Bytes file, std::initializer_list<uint8_t> tail) {
    file.insert(file.end(), tail.begin(), tail.end());
    return file;
}

// A sink in memory that can seek or not, and whose writes fail (or whose
// memory runs out) from the `failing`-th on, counted from 0.
class TestSink final : public ByteSink {
public:
    explicit TestSink(bool seekable, int failing = -1, bool out_of_memory = false)
        : seekable_(seekable), failing_(failing), out_of_memory_(out_of_memory) {}
    const std::string& name() const override { return name_; }
    bool write(const uint8_t* bytes, size_t count) override { return take() && memory.write(bytes, count); }
    bool seekable() const override { return seekable_; }
    bool write_at(uint64_t offset, const uint8_t* bytes, size_t count) override {
        return seekable_ && take() && memory.write_at(offset, bytes, count);
    }
    void discard() override { memory.discard(); }
    bool close() override { return true; }
    MemorySink memory;

private:
    bool take() {
        if (writes_++ != failing_ && (failing_ < 0 || writes_ <= failing_)) return true;
        if (out_of_memory_) throw std::bad_alloc();
        return false;
    }
    bool seekable_;
    int failing_;
    bool out_of_memory_;
    int writes_ = 0;
    std::string name_ = "failing.bmp";
};

TEST(Decoder, EveryKindOfStopComesBackWithItsWarningAndTheNextDecodeIsWhole) {
    const Bytes picture = picture_file();
    const Outcome whole = decode_bytes(picture);
    ASSERT_EQ(whole.end, DecodeResult::End::FINISHED);
    ASSERT_EQ(whole.bmp.size(), 54u + 48 * 192);

    Bytes cut_in_scan(picture.begin(), picture.end() - 40);
    // Nine 1 bits: the code the DC table leaves free.
    const Bytes bad_code = file_with_scan({0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}, YCC_420, 64, 48);
    const struct {
        Bytes file;
        std::string warning;
        bool keeps_picture;
    } cases[] = {
        {{0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x10}, "warning!! Pq & Tq = 10, Pq not baseline\n", false},
        {{0xFF, 0xD8, 0xFF, 0xC0, 0x00}, "Warning! unexpected end of file\n", false},
        {cut_in_scan, "Warning! unexpected end of file\n", false},
        {bad_code, "Warning! invalid Huffman code\n", false},
        {with(Bytes(picture.begin(), picture.end() - 2), {0xFF, 0xDB, 0, 67, 0x05}),
         "warning!! Pq & Tq = 05, Tq is out of range\n", true},
    };
    for (const auto& c : cases) {
        for (bool second_thread : {true, false}) {
            SCOPED_TRACE(c.warning);
            const Outcome stopped = decode_bytes(c.file, DecodeOptions{.second_thread = second_thread});
            EXPECT_EQ(stopped.end, DecodeResult::End::FAILED);
            EXPECT_EQ(stopped.trace.substr(stopped.trace.size() - c.warning.size()), c.warning);
            EXPECT_EQ(stopped.bmp, c.keeps_picture ? whole.bmp : Bytes{});
            EXPECT_EQ(decode_bytes(picture).bmp, whole.bmp);
        }
    }

    // The sink's faults: a failed write, and memory refused on the way.
    for (bool out_of_memory : {false, true}) {
        MemorySource source(picture);
        TestSink bmp(false, 0, out_of_memory);
        StringTrace trace;
        const DecodeResult result = decode_jpeg(source, bmp, trace);
        EXPECT_EQ(result.end, DecodeResult::End::FAILED);
        EXPECT_EQ(result.warning, out_of_memory ? "Warning! out of memory\n" : "Warning! write error : failing.bmp\n");
        EXPECT_EQ(trace.text().substr(trace.text().size() - 22), "write to file .......\n");
    }
}

TEST(Decoder, AnUnknownMarkerEndsTheDecodeWithItsLineLast) {
    const Outcome outcome = decode_bytes({0xFF, 0xD8, 0xFF, 0xC2, 0x00});
    EXPECT_EQ(outcome.end, DecodeResult::End::UNKNOWN_MARKER);
    EXPECT_EQ(outcome.trace, "begin of image\nunknown instruction : C2\n");
    EXPECT_TRUE(outcome.bmp.empty());
}

TEST(Decoder, TwoDecodesInOneProcessShareNothing) {
    // The second file has no tables of its own: those of the first are gone.
    const Bytes first = picture_file();
    JpegWriter no_tables;
    no_tables.soi().sof0(8, 8, {{1, 1, 1, 0}}).sos({{1, 0, 0}}).bytes(Bytes(8, 0)).eoi();
    ASSERT_EQ(decode_bytes(first).end, DecodeResult::End::FINISHED);
    const Outcome second = decode_bytes(no_tables.data());
    EXPECT_EQ(second.end, DecodeResult::End::FAILED);
    EXPECT_EQ(second.trace.substr(0, 15), "begin of image\n");
    EXPECT_NE(second.trace.find("Warning! Td = 0, Ta = 0, no such Huffman table\n"), std::string::npos);
    // The same file twice, through the same options, gives the same trace and bytes.
    const Outcome again = decode_bytes(first), once_more = decode_bytes(first);
    EXPECT_EQ(again.trace, once_more.trace);
    EXPECT_EQ(again.bmp, once_more.bmp);
}

TEST(Decoder, MemoryToMemoryAndFileToFileGiveTheRecordedPictures) {
    const std::string folder = temp_folder();
    for (const FixtureExpectation& fixture : load_fixture_expectations(JPEG2BMP_DATA "/expected.json")) {
        if (fixture.exit_status != 0 || fixture.bmp_size == 0) continue;
        SCOPED_TRACE(fixture.name);
        const Outcome in_memory = decode_bytes(read_file(JPEG2BMP_DATA "/" + fixture.name));
        EXPECT_EQ(sha256_hex(in_memory.bmp), fixture.bmp_sha256);

        std::FILE* jpg = std::fopen((JPEG2BMP_DATA "/" + fixture.name).c_str(), "rb");
        ASSERT_NE(jpg, nullptr);
        const std::string bmp_path = folder + "/out.bmp";
        FileSource source(jpg);
        FileSink bmp(std::fopen(bmp_path.c_str(), "wb"), bmp_path);
        NoTrace trace;
        EXPECT_EQ(decode_jpeg(source, bmp, trace).end, DecodeResult::End::FINISHED);
        std::fclose(jpg);
        EXPECT_EQ(read_file(bmp_path), in_memory.bmp);
    }
    std::filesystem::remove_all(folder);
}

std::string last_line(const std::string& trace) { return trace.substr(trace.rfind('\n', trace.size() - 2) + 1); }

// 512 x 600 in 4:2:0: 38 MCU rows, more than the planes hold at once, so
// that rows go out while the scan goes on.
Bytes tall_picture() {
    return encode_blocks(512, 600, YCC_420, [](int c, int bx, int by) {
        ZigzagBlock block = dc_block(8 * ((3 * c + bx + 2 * by) % 90 - 45));
        block[1 + (bx + by) % 20] = (bx * by) % 31 - 15;
        return block;
    });
}

TEST(Streaming, EverySinkGetsTheBytesOfTheWholePicture) {
    const Bytes file = tall_picture();
    const Outcome serial = decode_bytes(file, DecodeOptions{.second_thread = false});
    ASSERT_EQ(serial.end, DecodeResult::End::FINISHED);
    ASSERT_EQ(serial.bmp.size(), 54u + 600 * 1536);
    for (bool second_thread : {true, false}) {
        for (bool seekable : {true, false}) {
            MemorySource source(file);
            TestSink bmp(seekable);
            NoTrace trace;
            EXPECT_EQ(decode_jpeg(source, bmp, trace, DecodeOptions{.second_thread = second_thread}).end,
                      DecodeResult::End::FINISHED);
            EXPECT_TRUE(bmp.memory.bytes() == serial.bmp) << second_thread << seekable;
        }
    }
}

TEST(Streaming, ADecodeErrorAfterRowsWentOutLeavesAnEmptyBmp) {
    const Bytes file = tall_picture();
    const std::string folder = temp_folder();
    const std::string path = folder + "/cut.bmp";
    for (const size_t cut : {file.size() / 2, file.size() - 20}) {
        const Bytes part(file.begin(), file.begin() + static_cast<long>(cut));
        for (bool second_thread : {true, false}) {
            SCOPED_TRACE(cut);
            const Outcome stopped = decode_bytes(part, DecodeOptions{.second_thread = second_thread});
            EXPECT_EQ(last_line(stopped.trace), "Warning! unexpected end of file\n");
            EXPECT_TRUE(stopped.bmp.empty());
            MemorySource source(part);
            FileSink bmp(std::fopen(path.c_str(), "wb"), path);
            NoTrace trace;
            EXPECT_EQ(decode_jpeg(source, bmp, trace, DecodeOptions{.second_thread = second_thread}).end,
                      DecodeResult::End::FAILED);
            bmp.close();
            EXPECT_EQ(std::filesystem::file_size(path), 0u);
        }
    }
    std::filesystem::remove_all(folder);
}

TEST(Streaming, AWriteErrorDuringTheScanIsReportedAfterItUnlessTheDataFailsFirst) {
    const Bytes file = tall_picture();
    Bytes damaged = file;
    // Nine 1 bits near the end of the scan: a code the DC table leaves free.
    for (size_t i = damaged.size() - 40; i < damaged.size() - 30; i += 2) damaged[i] = 0xFF, damaged[i + 1] = 0x00;
    ASSERT_EQ(last_line(decode_bytes(damaged).trace), "Warning! invalid Huffman code\n");
    for (bool second_thread : {true, false}) {
        for (bool out_of_memory : {false, true}) {
            SCOPED_TRACE(second_thread);
            MemorySource source(file);
            TestSink bmp(true, 1, out_of_memory);
            StringTrace trace;
            const DecodeResult result = decode_jpeg(source, bmp, trace, DecodeOptions{.second_thread = second_thread});
            EXPECT_EQ(result.warning, out_of_memory ? "Warning! out of memory\n" : "Warning! write error : failing.bmp\n");
            EXPECT_EQ(trace.text().substr(trace.text().size() - 22), "write to file .......\n");

            MemorySource damaged_source(damaged);
            TestSink failing(true, 1, out_of_memory);
            StringTrace damaged_trace;
            EXPECT_EQ(decode_jpeg(damaged_source, failing, damaged_trace, DecodeOptions{.second_thread = second_thread}).warning,
                      "Warning! invalid Huffman code\n");
            EXPECT_EQ(damaged_trace.text().find("write to file"), std::string::npos);
        }
    }
}

TEST(Sinks, FilesAndMemoryTakeBytesAtAnyOffsetWherePipesCannot) {
    const std::string folder = temp_folder();
    const std::string path = folder + "/placed.bmp";
    FileSink file(std::fopen(path.c_str(), "wb"), path);
    MemorySink memory;
    const uint8_t head[] = {1, 2, 3, 4}, tail[] = {9, 8};
    for (ByteSink* sink : {static_cast<ByteSink*>(&file), static_cast<ByteSink*>(&memory)}) {
        EXPECT_TRUE(sink->seekable());
        EXPECT_TRUE(sink->write(head, 4));
        EXPECT_TRUE(sink->write_at(6, tail, 2));
        EXPECT_TRUE(sink->write(tail, 2));  // after the bytes written before, not the placed ones
        EXPECT_TRUE(sink->close());
    }
    const Bytes expected = {1, 2, 3, 4, 9, 8, 9, 8};
    EXPECT_EQ(memory.bytes(), expected);
    EXPECT_EQ(read_file(path), expected);

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    FileSink piped(fdopen(ends[1], "wb"), "pipe");
    EXPECT_FALSE(piped.seekable());
    EXPECT_FALSE(piped.write_at(0, head, 4));
    EXPECT_TRUE(piped.close());
    close(ends[0]);
    std::filesystem::remove_all(folder);
}

}  // namespace
