#include <gtest/gtest.h>
#include <algorithm>
#include "base/Floating.h"
#include "base/GradientBands.h"

using namespace playback;

namespace {

TEST(FloatingMotion, StartsTwoRightOneDownAndHalvesSidewaysAfterTheFirstBounce) {
    PlayerPlace place{8, 8, 704, 563.2f};
    FloatSteps steps;
    floatStep(place, steps, 1280, 1024);
    EXPECT_EQ(place.left, 10);
    EXPECT_EQ(place.top, 9);
    for (int i = 2; i <= 284; ++i) floatStep(place, steps, 1280, 1024);
    // 576 + 704 = 1280 touches the edge without passing it: no bounce yet.
    EXPECT_EQ(place.left, 576);
    EXPECT_EQ(steps.horizontal, 2);
    floatStep(place, steps, 1280, 1024);
    EXPECT_EQ(place.left, 578);
    EXPECT_EQ(steps.horizontal, -1);
    floatStep(place, steps, 1280, 1024);
    EXPECT_EQ(place.left, 577);
    // Down at one pixel a tick until the bottom edge is passed in single precision: 8 + n + 563.2 > 1024
    // first at n = 453.
    EXPECT_EQ(place.top, 8 + 286);
    while (place.top < 8 + 452) floatStep(place, steps, 1280, 1024);
    EXPECT_EQ(steps.vertical, 1);
    floatStep(place, steps, 1280, 1024);
    EXPECT_EQ(place.top, 8 + 453);
    EXPECT_EQ(steps.vertical, -1);
    // Back at the left edge it turns at one pixel a tick, not two.
    PlayerPlace left{0.5f, 100, 100, 100};
    FloatSteps back{-1, 1};
    floatStep(left, back, 1280, 1024);
    EXPECT_EQ(back.horizontal, 1);
    floatStep(left, back, 1280, 1024);
    EXPECT_EQ(left.left, 0.5f);
}

TEST(FloatingMotion, APlayerLargerThanTheFormDriftsLeftAndUpOnePixelATick) {
    // The far-edge rule is tested last, so it wins over the near edge on every tick the player
    // overhangs the far edge: the player creeps left and up, never bouncing back.
    PlayerPlace place{8, 8, 1400, 1100};
    FloatSteps steps;
    floatStep(place, steps, 1280, 1024);
    EXPECT_EQ(place.left, 10);
    EXPECT_EQ(place.top, 9);
    for (int i = 0; i < 50; ++i) floatStep(place, steps, 1280, 1024);
    EXPECT_EQ(place.left, 10 - 50);
    EXPECT_EQ(place.top, 9 - 50);
    EXPECT_EQ(steps.horizontal, -1);
    EXPECT_EQ(steps.vertical, -1);
    // Once its far edges are inside the form it stays there, a pixel either way, never drifting off.
    float leftMost = place.left, topMost = place.top;
    for (int i = 0; i < 1000; ++i) {
        floatStep(place, steps, 1280, 1024);
        leftMost = std::min(leftMost, place.left);
        topMost = std::min(topMost, place.top);
    }
    EXPECT_EQ(leftMost, 1280 - 1400);
    EXPECT_EQ(topMost, 1024 - 1100);
    EXPECT_LE(place.left, 1280 - 1400 + 1);
}

TEST(FloatingMotion, SizesFollowTheFirstModeThatIsOnAndKeepTheirFractions) {
    PlayerPlace place;
    DisplayModes fourth;
    sizePlayer(place, fourth, 1024, 768);
    EXPECT_FLOAT_EQ(place.width, 563.2f);
    EXPECT_FLOAT_EQ(place.height, 422.4f);
    EXPECT_EQ(place.pixels(), QRect(8, 8, 563, 422));

    struct Case {
        DisplayModes modes;
        QSize size;
    };
    const Case cases[] = {
        {{true, true, true, true, true}, {1152, 922}}, {{false, true, true, false, false}, {960, 768}},
        {{false, false, true, true, false}, {704, 563}}, {{false, false, false, true, true}, {448, 358}},
        {{false, false, false, false, true}, {320, 256}},
    };
    for (const Case& c : cases) {
        PlayerPlace p;
        sizePlayer(p, c.modes, 1280, 1024);
        EXPECT_EQ(p.pixels().size(), c.size);
    }
    // With no mode on the player keeps its size.
    PlayerPlace none{8, 8, 32, 32};
    sizePlayer(none, DisplayModes{false, false, false, false, false}, 1280, 1024);
    EXPECT_EQ(none.pixels(), QRect(8, 8, 32, 32));
    // Half pixels round to the even neighbour.
    EXPECT_EQ((PlayerPlace{2.5f, 3.5f, 10.5f, 11.5f}).pixels(), QRect(2, 4, 10, 12));
}

TEST(FloatingMotion, RandomPlaceStaysInsideTheForm) {
    PlayerPlace place{8, 8, 704, 563.2f};
    randomPlace(place, 1280, 1024, 0.999999f, 0.0f);
    EXPECT_EQ(place.left, 0);
    EXPECT_LE(place.top + place.height, 1024.0f);
    EXPECT_GT(place.top, 460.0f);
}

TEST(GradientBands, SixtyThreeBandsFourDarkerEachDownToBlack) {
    // A 600-pixel form: 9000 twips / 900 = 10-pixel bands, reaching down to pixel 630.
    const auto bands = gradientBands(800 * 15, 600 * 15, 255, 100, 0);
    ASSERT_EQ(bands.size(), 63);
    EXPECT_EQ(bands[0].rect, QRect(0, 0, 12000, 10));
    EXPECT_EQ(bands[62].rect.bottom() + 1, 630);
    EXPECT_EQ(bands[0].colour, (BandColour{255, 100, 0}));
    EXPECT_EQ(bands[1].colour, (BandColour{251, 96, 0}));
    EXPECT_EQ(bands[25].colour, (BandColour{155, 0, 0}));
    EXPECT_EQ(bands[62].colour, (BandColour{7, 0, 0})); // 255 - 62 x 4
    for (const auto& b : gradientBands(800 * 15, 600 * 15, 0, 0, 0)) EXPECT_EQ(b.colour, (BandColour{0, 0, 0}));
    // 768 pixels: 11520 / 900 = 12.8, so 13-pixel bands that run past the bottom edge.
    EXPECT_EQ(gradientBands(1024 * 15, 768 * 15, 1, 1, 1)[0].rect.height(), 13);
}

TEST(GradientBands, CoverLargeScreensWithoutOverflow) {
    // 3840 x 2160 is 57,600 x 32,400 twips, past what 16 bits hold.
    const auto bands = gradientBands(3840 * 15, 2160 * 15, 200, 200, 200);
    EXPECT_EQ(bands[0].rect.height(), 36);
    EXPECT_GE(bands[0].rect.right() + 1, 3840);
    EXPECT_GE(bands[62].rect.bottom() + 1, 2160);
    // Levels over 255 show as 255 but still fade from their own value.
    const auto bright = gradientBands(600 * 15, 600 * 15, 300, 0, 0);
    EXPECT_EQ(bright[0].colour.red, 255);
    EXPECT_EQ(bright[10].colour.red, 255);
    EXPECT_EQ(bright[12].colour.red, 252);
}

TEST(GradientBands, StartColourLiesBetweenZeroAndEachLevel) {
    bool sawRed = false;
    for (int i = 0; i < 200; ++i) {
        const StartColour c = nextGradientColour(255, 0, 40);
        EXPECT_GE(c.red, 0);
        EXPECT_LE(c.red, 255);
        EXPECT_EQ(c.green, 0);
        EXPECT_LE(c.blue, 40);
        sawRed |= c.red > 0;
    }
    EXPECT_TRUE(sawRed);
}

} // namespace
