// Dequantization, the inverse DCT and its tables.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/format.h"
#include "scan/transform.h"

namespace {

// cos(((u (2x + 1)) 3.14159) 0.0625) rounded correctly to double, [x][u].
constexpr double CORRECT_COSINES[8][8] = {
    {0x1.0000000000000p+0, 0x1.f6297e15647e0p-1, 0x1.d906c13587117p-1, 0x1.a9b66bd75e467p-1, 0x1.6a09f6256d727p-1, 0x1.1c73cabd9a6c3p-1, 0x1.87de681d355b6p-2, 0x1.8f8c1c99e98ddp-3},
    {0x1.0000000000000p+0, 0x1.a9b66bd75e467p-1, 0x1.87de681d355b6p-2, -0x1.8f8abf49312eap-3, -0x1.6a09b72f8280ap-1, -0x1.f6296cb6722fbp-1, -0x1.d906e34870ed9p-1, -0x1.1c7414c63ac5fp-1},
    {0x1.0000000000000p+0, 0x1.1c73cabd9a6c3p-1, -0x1.87ddc39714ef0p-2, -0x1.f6296cb6722fbp-1, -0x1.6a0a351b4d711p-1, 0x1.8f8961f86cba1p-3, 0x1.d9067d0f886e2p-1, 0x1.a9b6cec6c3f48p-1},
    {0x1.0000000000000p+0, 0x1.8f8c1c99e98ddp-3, -0x1.d9069f228ee6ep-1, -0x1.1c7414c63ac5fp-1, 0x1.6a0978398c9bfp-1, 0x1.a9b6cec6c3f48p-1, -0x1.87dc7a8ab087fp-2, -0x1.f629b231e049bp-1},
    {0x1.0000000000000p+0, -0x1.8f8abf49312eap-3, -0x1.d906e34870ed9p-1, 0x1.1c7336ac3fea0p-1, 0x1.6a0a7411227cdp-1, -0x1.a9b5d76fe5318p-1, -0x1.87e055af4f846p-2, 0x1.f62938994025ap-1},
    {0x1.0000000000000p+0, -0x1.1c7380b4f1785p-1, -0x1.87df0ca349ed6p-2, 0x1.f629a0d31b8b0p-1, -0x1.6a0939438bc49p-1, -0x1.8f90348bca28dp-3, 0x1.d9074980d8ac9p-1, -0x1.a9b5747ffec3dp-1},
    {0x1.0000000000000p+0, -0x1.a9b63a5f981f7p-1, 0x1.87dd1f10e8a83p-2, 0x1.8f8ed73b360bfp-3, -0x1.6a0ab306ec95ep-1, 0x1.f629c39095d86p-1, -0x1.d90616d61f2e2p-1, 0x1.1c720e8923a9dp-1},
    {0x1.0000000000000p+0, -0x1.f6296cb6722fbp-1, 0x1.d9067d0f886e2p-1, -0x1.a9b5d76fe5318p-1, 0x1.6a08fa4d7ff99p-1, -0x1.1c725891f7a19p-1, 0x1.87da8cf7c10b1p-2, -0x1.8f828f63e1329p-3},
};

// The samples of a block whose one coefficient, of frequencies (u, v), is
// `value`, on every vector path.
class TransformTest : public testing::Test {
protected:
    void only(int u, int v, int32_t value) {
        coefficients.fill(0);
        coefficients[8 * v + u] = value;
        transform();
    }
    void transform() {
        idct_block(tables, SimdPath::BASELINE, coefficients, samples);
        Block best{};
        idct_block(tables, best_simd_path(), coefficients, best);
        ASSERT_EQ(best, samples);
    }
    const TransformTables& tables = transform_tables();
    Block coefficients{};
    Block samples{};
};

TEST_F(TransformTest, CosinesAreCorrectlyRoundedOnThisPlatform) {
    for (int x = 0; x < 8; ++x)
        for (int u = 0; u < 8; ++u) EXPECT_EQ(tables.cos_table[x][u], CORRECT_COSINES[x][u]) << x << "," << u;
    EXPECT_EQ(tables.c[0], 0x1.6a09e667f3bcdp-1);  // 0.7071067811865476
    for (int u = 1; u < 8; ++u) EXPECT_EQ(tables.c[u], 1.0);
}

TEST(Zigzag, WalksTheAntidiagonalsOfTheBlockInTurn) {
    // The sequence of the standard: antidiagonal d = u + v after d - 1,
    // each walked from its top right end when d is odd (u falling, v
    // rising), from its bottom left end when d is even.
    std::vector<int> walked;
    for (int d = 0; d < 15; ++d) {
        for (int i = 0; i <= d; ++i) {
            const int u = d % 2 == 1 ? d - i : i;
            const int v = d - u;
            if (u < 8 && v < 8) walked.push_back(8 * v + u);
        }
    }
    ASSERT_EQ(walked.size(), 64u);
    for (int k = 0; k < 64; ++k) EXPECT_EQ(ZIGZAG[k], walked[k]) << k;
    EXPECT_EQ(ZIGZAG[1], 1);  // (u, v) = (1, 0): right of the DC coefficient
    EXPECT_EQ(ZIGZAG[2], 8);  // (0, 1): below it
}

TEST_F(TransformTest, ZeroBlockGives128Everywhere) {
    only(0, 0, 0);
    for (int32_t s : samples) EXPECT_EQ(s, 128);
}

TEST_F(TransformTest, DcOnlyBlocksTruncateTowardZeroAndClamp) {
    const struct {
        int32_t dc;
        int32_t sample;
    } cases[] = {{8, 129},    {-8, 127},   {7, 128},   {-7, 128}, {12, 129},  {-12, 127},
                 {1016, 255}, {-1016, 1},  {-1024, 0}, {1024, 255}, {2000, 255}, {-2000, 0}};
    for (const auto& c : cases) {
        only(0, 0, c.dc);
        for (int32_t s : samples) EXPECT_EQ(s, c.sample) << "DC " << c.dc;
    }
}

TEST_F(TransformTest, FirstHorizontalAndVerticalFrequencies) {
    const int32_t expected[8] = {141, 139, 135, 130, 126, 121, 117, 115};
    only(1, 0, 80);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y) EXPECT_EQ(samples[8 * y + x], expected[x]);
    only(0, 1, 80);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y) EXPECT_EQ(samples[8 * y + x], expected[y]);
}

TEST_F(TransformTest, ExtremeCoefficientsClampWithoutOverflow) {
    only(0, 0, INT_MAX);
    EXPECT_EQ(samples[8 * 3 + 3], 255);
    only(0, 0, INT_MIN);
    EXPECT_EQ(samples[8 * 3 + 3], 0);
    coefficients.fill(INT_MAX);
    transform();
    for (int32_t s : samples) EXPECT_TRUE(s >= 0 && s <= 255);
}

TEST(Dequantization, PairsZigzagEntriesWithTheirCoefficients) {
    QuantTables quant;
    quant.tables[0][1] = 3;
    quant.tables[0][2] = 5;
    AcBlock ac;
    ac.fill(2);
    Block coefficients;
    dequantize_block(block_quant(quant.tables[0]), SimdPath::BASELINE, ac, 7, coefficients);
    EXPECT_EQ(coefficients[0], 7);    // the DC coefficient, not ac[0]
    EXPECT_EQ(coefficients[1], 6);    // (u, v) = (1, 0)
    EXPECT_EQ(coefficients[8], 10);   // (0, 1)
    EXPECT_EQ(coefficients[63], 2);  // a table no DQT defined multiplies by 1

    quant.tables[1].fill(255);
    // corrupt data: the product wraps
    dequantize_block(block_quant(quant.tables[1]), SimdPath::BASELINE, ac, INT_MAX, coefficients);
    EXPECT_EQ(coefficients[0], static_cast<int32_t>(0x7FFFFFFFu * 255u));
}

}  // namespace
