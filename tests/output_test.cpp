// The BMP file and the colour conversion.
#include <gtest/gtest.h>

#include <functional>

#include "output/bmp.h"
#include "support/decode_run.h"

namespace {

uint32_t u32_at(const Bytes& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t{bytes[at + 3]} << 24);
}

// A picture of the given factors, each sample from `sample`(plane, x, y).
struct PictureState {
    PictureState(int32_t width, int32_t height, const std::vector<FrameComponent>& components,
                 const std::function<int32_t(size_t, int32_t, int32_t)>& sample)
        : picture(picture_of(width, height, components, sample)) {}
    Bytes write() const { return bmp_of(picture); }
    Picture picture;
};

const std::vector<FrameComponent> ALL_1X1 = {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};

std::array<int, 3> colour_of(int32_t y, int32_t cb, int32_t cr) {
    PictureState picture(1, 1, ALL_1X1, [&](size_t plane, int32_t, int32_t) { return plane == 0 ? y : plane == 1 ? cb : cr; });
    const Bytes bmp = picture.write();
    return {bmp[54], bmp[55], bmp[56]};
}

TEST(Bmp, OnePixelFileHasTheFullHeader) {
    PictureState picture(1, 1, ALL_1X1, [](size_t, int32_t, int32_t) { return 128; });
    const Bytes bmp = picture.write();
    const Bytes expected_header = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                                   1, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x75, 0x0A, 0, 0, 0x75, 0x0A, 0, 0, 0, 0, 0, 0,
                                   0, 0, 0, 0};
    ASSERT_EQ(bmp.size(), 58u);
    EXPECT_EQ(Bytes(bmp.begin(), bmp.begin() + 54), expected_header);
    EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.end()), (Bytes{128, 128, 128, 0}));
}

TEST(Bmp, RowsArePaddedToFourBytes) {
    const struct {
        int32_t width;
        uint32_t row;
    } cases[] = {{4, 12}, {5, 16}, {6, 20}, {7, 24}};
    for (const auto& c : cases) {
        PictureState picture(c.width, 3, ALL_1X1, [](size_t, int32_t, int32_t) { return 128; });
        const Bytes bmp = picture.write();
        EXPECT_EQ(bmp.size(), 54 + 3 * c.row);
        EXPECT_EQ(u32_at(bmp, 2), bmp.size());
        EXPECT_EQ(bmp_file_size(c.width, 3), bmp.size());
        for (uint32_t pad = 3 * c.width; pad < c.row; ++pad) EXPECT_EQ(bmp[54 + pad], 0);
    }
}

TEST(Bmp, BottomLineComesFirst) {
    PictureState picture(5, 2, ALL_1X1, [](size_t plane, int32_t, int32_t y) { return plane == 0 ? 100 + y : 128; });
    const Bytes bmp = picture.write();
    ASSERT_EQ(bmp.size(), 86u);
    EXPECT_EQ(u32_at(bmp, 2), 86u);
    EXPECT_EQ(bmp[54], 101);
    EXPECT_EQ(bmp[54 + 16], 100);
}

TEST(Bmp, EmptyPictureIsTheHeaderAlone) {
    for (auto size : {std::pair{0, 5}, std::pair{5, 0}}) {
        PictureState picture(size.first, size.second, ALL_1X1, [](size_t, int32_t, int32_t) { return 0; });
        const Bytes bmp = picture.write();
        EXPECT_EQ(bmp.size(), 54u);
        EXPECT_EQ(u32_at(bmp, 2), 54u);
    }
}

TEST(Colour, ConversionInTheGivenGroupingTruncatedAndClamped) {
    EXPECT_EQ(colour_of(128, 128, 128), (std::array<int, 3>{128, 128, 128}));
    EXPECT_EQ(colour_of(0, 0, 0), (std::array<int, 3>{0, 135, 0}));
    EXPECT_EQ(colour_of(255, 255, 255), (std::array<int, 3>{255, 120, 255}));
    EXPECT_EQ(colour_of(10, 200, 60), (std::array<int, 3>{137, 33, 0}));
    // Green is 62, not 63: the double result lies just below 63.
    EXPECT_EQ(colour_of(100, 28, 228), (std::array<int, 3>{0, 62, 240}));
}

// Each chroma sample encodes its own position, so the pixel shows which one
// it read.
void expect_chroma_positions(std::vector<FrameComponent> components, int32_t rx, int32_t ry) {
    const int32_t width = 16, height = 16;
    PictureState picture(width, height, components, [](size_t plane, int32_t x, int32_t y) {
        return plane == 0 ? 128 : plane == 1 ? 128 + x : 128 + y;
    });
    const Bytes bmp = picture.write();
    const size_t row = 3 * width;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const size_t at = 54 + (height - 1 - y) * row + 3 * x;
            const double cb = x / rx, cr = y / ry;
            EXPECT_EQ(bmp[at], static_cast<int>(cb * 1.772 + 128)) << x << "," << y;
            EXPECT_EQ(bmp[at + 2], static_cast<int>(cr * 1.402 + 128)) << x << "," << y;
        }
    }
}

TEST(Colour, ChromaIsRepeatedOverItsSamplingRatio) {
    expect_chroma_positions({{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, 2, 2);
    expect_chroma_positions({{1, 2, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, 2, 1);
    expect_chroma_positions({{1, 1, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, 1, 2);
    expect_chroma_positions({{1, 4, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}, 4, 1);
    expect_chroma_positions(ALL_1X1, 1, 1);
}

TEST(Colour, FourthPlaneIsNeverReadAndGreyIsYEverywhere) {
    std::vector<FrameComponent> four = ALL_1X1;
    four.push_back({4, 1, 1, 0});
    PictureState with_four(3, 3, four, [](size_t plane, int32_t x, int32_t) { return plane == 3 ? 0 : 100 + x; });
    PictureState with_three(3, 3, ALL_1X1, [](size_t, int32_t x, int32_t) { return 100 + x; });
    EXPECT_EQ(with_four.write(), with_three.write());

    PictureState grey(3, 1, {{1, 1, 1, 0}}, [](size_t, int32_t x, int32_t) { return 7 + 100 * x; });
    const Bytes bmp = grey.write();
    EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.end()), (Bytes{7, 7, 7, 107, 107, 107, 207, 207, 207, 0, 0, 0}));
}

}  // namespace
