#include "base/Convert.h"
#include "base/Random.h"
#include "base/RuntimeError.h"
#include "runtime/Twips.h"
#include <QSet>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>

using namespace runtime;

namespace {

// The kind of runtime error a step raises, or nothing.
template <class Step> std::optional<ErrorKind> errorOf(Step&& step) {
    try {
        step();
    } catch (const RuntimeError& e) {
        return e.kind();
    }
    return std::nullopt;
}

} // namespace

TEST(Convert, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(0.5), 0.0);
    EXPECT_EQ(roundHalfEven(1.5), 2.0);
    EXPECT_EQ(roundHalfEven(2.5), 2.0);
    EXPECT_EQ(roundHalfEven(3.5), 4.0);
    EXPECT_EQ(roundHalfEven(-0.5), 0.0);
    EXPECT_EQ(roundHalfEven(-1.5), -2.0);
    EXPECT_EQ(roundHalfEven(-2.5), -2.0);
    // Not a tie: ordinary rounding.
    EXPECT_EQ(roundHalfEven(2.5000001), 3.0);
    EXPECT_EQ(roundHalfEven(-2.4999), -2.0);
    EXPECT_EQ(toInt16(2.5), 2);
    EXPECT_EQ(toInt32(4410.5), 4410);
}

TEST(Convert, SixteenAndThirtyTwoBitRangesOverflow) {
    EXPECT_EQ(toInt16(32767), 32767);
    EXPECT_EQ(toInt16(32767.4), 32767);
    EXPECT_EQ(errorOf([] { toInt16(32767.5); }), ErrorKind::Overflow); // rounds to 32768
    EXPECT_EQ(toInt16(-32768.5), -32768);                              // the even neighbour is in range
    EXPECT_EQ(errorOf([] { toInt16(-32769); }), ErrorKind::Overflow);
    EXPECT_EQ(errorOf([] { toInt16(40000); }), ErrorKind::Overflow);
    EXPECT_EQ(errorOf([] { toInt16(INFINITY); }), ErrorKind::Overflow);
    EXPECT_EQ(errorOf([] { toInt16(NAN); }), ErrorKind::Overflow);

    EXPECT_EQ(toInt32(40000), 40000);
    EXPECT_EQ(toInt32(2147483647.0), 2147483647);
    EXPECT_EQ(toInt32(-2147483648.5), -2147483647 - 1);
    EXPECT_EQ(errorOf([] { toInt32(2147483647.5); }), ErrorKind::Overflow);
    EXPECT_EQ(errorOf([] { toInt32(1e12); }), ErrorKind::Overflow);

    EXPECT_EQ(textToInt16(QStringLiteral("6000")), 6000);
    EXPECT_EQ(textToInt16(QStringLiteral("-12")), -12);
    EXPECT_EQ(textToInt16(QStringLiteral(" 2.5 ")), 2);
    EXPECT_EQ(errorOf([] { textToInt16(QStringLiteral("40000")); }), ErrorKind::Overflow);
    EXPECT_EQ(errorOf([] { textToInt16(QStringLiteral("12abc")); }), ErrorKind::TypeMismatch);
    EXPECT_EQ(errorOf([] { textToInt16(QString()); }), ErrorKind::TypeMismatch);
    EXPECT_EQ(textToInt32(QStringLiteral("16777215")), 16777215);
}

TEST(Convert, LeadingNumberReadsWhatStartsTheText) {
    EXPECT_EQ(leadingNumber(QStringLiteral("  12abc")), 12.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("1 2 3")), 123.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("\t\n-4.5x")), -4.5);
    EXPECT_EQ(leadingNumber(QStringLiteral("abc")), 0.0);
    EXPECT_EQ(leadingNumber(QString()), 0.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("1e3")), 1000.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("1e")), 1.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("2e-1x")), 0.2);
    EXPECT_EQ(leadingNumber(QStringLiteral("3.")), 3.0);
    EXPECT_EQ(leadingNumber(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(leadingNumber(QStringLiteral(".")), 0.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("--1")), 0.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("1.2.3")), 1.2);
    EXPECT_EQ(leadingNumber(QStringLiteral("7-3")), 7.0);
    EXPECT_EQ(leadingNumber(QStringLiteral(" 5678")), 5678.0);
    // Digits of other scripts are not part of a number.
    EXPECT_EQ(leadingNumber(QString::fromUtf8("4\u0661")), 4.0);
}

TEST(Convert, BooleanTextAcceptsTrueFalseInAnyCaseAndNumbers) {
    EXPECT_TRUE(textToBool(QStringLiteral("True")));
    EXPECT_TRUE(textToBool(QStringLiteral("true")));
    EXPECT_TRUE(textToBool(QStringLiteral("TRUE")));
    EXPECT_FALSE(textToBool(QStringLiteral("False")));
    EXPECT_FALSE(textToBool(QStringLiteral("fALSE")));
    EXPECT_TRUE(textToBool(QStringLiteral("1")));
    EXPECT_FALSE(textToBool(QStringLiteral("0")));
    EXPECT_FALSE(textToBool(QStringLiteral("0.0")));
    EXPECT_TRUE(textToBool(QStringLiteral("-1")));
    EXPECT_TRUE(textToBool(QStringLiteral("2.5")));
    EXPECT_EQ(errorOf([] { textToBool(QStringLiteral("yes")); }), ErrorKind::TypeMismatch);
    EXPECT_EQ(errorOf([] { textToBool(QString()); }), ErrorKind::TypeMismatch);
    EXPECT_EQ(errorOf([] { textToBool(QStringLiteral("Truex")); }), ErrorKind::TypeMismatch);
    // What the writers store reads back as what they wrote.
    EXPECT_TRUE(textToBool(boolToText(true)));
    EXPECT_FALSE(textToBool(boolToText(false)));
}

TEST(Random, DrawsStayInTheUnitIntervalAndVary) {
    Random::randomize();
    QSet<float> seen;
    float lo = 1.0f, hi = 0.0f;
    for (int i = 0; i < 100000; ++i) {
        const float r = Random::next();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        lo = std::min(lo, r);
        hi = std::max(hi, r);
        seen.insert(r);
    }
    EXPECT_GT(seen.size(), 50000);
    EXPECT_LT(lo, 0.01f);
    EXPECT_GT(hi, 0.99f);

    // A fixed seed repeats; two clock seeds in a row do not.
    Random::seed(1234);
    const float a = Random::next();
    Random::seed(1234);
    EXPECT_EQ(Random::next(), a);
    Random::randomize();
    const float first = Random::next();
    Random::randomize();
    EXPECT_NE(Random::next(), first);
}

TEST(Twips, FifteenToAPixel) {
    EXPECT_EQ(pixelsToTwips(1), 15);
    EXPECT_EQ(pixelsToTwips(1024), 15360);
    EXPECT_EQ(twipsToPixels(7590), 506);
    EXPECT_EQ(twipsToPixels(4905), 327);
    EXPECT_EQ(twipsToPixels(15360), 1024);
    EXPECT_EQ(twipsToPixels(0), 0);
    EXPECT_EQ(twipsToPixels(pixelsToTwips(333)), 333);
    EXPECT_EQ(kTwipsPerPixel * 96, 1440); // 1440 twips to the inch at 96 dpi
}
