// The promises of velmor/rounding.h, one row each.

#include <velmor/rounding.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct RoundCase
{
    double value;
    double amount;   // roundAmount
    double quantity; // roundQuantity
};

class RoundingTest : public testing::TestWithParam<RoundCase>
{
};

TEST_P(RoundingTest, TwoAndThreeDecimals)
{
    EXPECT_EQ(velmor::roundAmount(GetParam().value), GetParam().amount) << GetParam().value;
    EXPECT_EQ(velmor::roundQuantity(GetParam().value), GetParam().quantity) << GetParam().value;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, RoundingTest, testing::Values(
    RoundCase{1.005,   1.01,  1.005},  // stored as 1.00499999...: the allowance rounds it up
    RoundCase{1.0005,  1.0,   1.0},    // stored a little below the half: the quantity rounds down
    RoundCase{2.345,   2.35,  2.345},
    RoundCase{2.344,   2.34,  2.344},
    RoundCase{0.3333,  0.33,  0.333},
    RoundCase{-1.005,  -1.01, -1.005}, // halves go away from zero on both sides
    RoundCase{3.999,   4.0,   3.999},
    RoundCase{0.0,     0.0,   0.0},
    RoundCase{0.125,   0.13,  0.125}));
// clang-format on

struct KopecksCase
{
    double roubles;
    qint64 kopecks;
    const char *text;
};

class KopecksTest : public testing::TestWithParam<KopecksCase>
{
};

TEST_P(KopecksTest, RoublesAndKopecks)
{
    EXPECT_EQ(velmor::kopecksOf(GetParam().roubles), GetParam().kopecks);
    EXPECT_EQ(velmor::roublesText(GetParam().kopecks), QString::fromLatin1(GetParam().text));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, KopecksTest, testing::Values(
    KopecksCase{2000.0,  200000, "2000.00"},
    KopecksCase{0.1 + 0.2, 30,   "0.30"},
    KopecksCase{0.005,   1,      "0.01"},   // a half kopeck goes away from zero
    KopecksCase{-0.005,  -1,     "-0.01"},
    KopecksCase{std::numeric_limits<double>::infinity(), 0, "0.00"},
    KopecksCase{std::nan(""), 0, "0.00"}));
// clang-format on

TEST(RoundingTest, RoublesOfKopecks)
{
    EXPECT_EQ(velmor::roublesOf(150050), 1500.5);
}

} // namespace
