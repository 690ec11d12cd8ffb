// How the surface is chosen from LUMORA_RENDER, the platform and the renderer an OpenGL probe found,
// and whether frames can go to the X server from shared memory as its screen keeps its pixels.
#include "platform/mpv/ShmRenderLoop.h"
#include "platform/mpv/SurfaceChoice.h"
#include <gtest/gtest.h>

using platform::mpv::decideSurface;
using platform::mpv::isSoftwareRenderer;
using platform::mpv::ServerPixels;
using platform::mpv::sharedMemoryFormat;
using platform::mpv::Surface;

TEST(SurfaceChoice, RenderersThatDrawWithTheProcessorAreKnownWhateverTheirSpelling) {
    for (const char* name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Software Rasterizer",
                             "Mesa DRI swrast", "LLVMPIPE"})
        EXPECT_TRUE(isSoftwareRenderer(QString::fromLatin1(name))) << name;
    for (const char* name : {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)",
                             "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "NVIDIA GeForce GTX 1060/PCIe/SSE2", ""})
        EXPECT_FALSE(isSoftwareRenderer(QString::fromLatin1(name))) << name;
}

TEST(SurfaceChoice, HardwareGetsOpenGLAndEverythingElseSoftwareUnlessForced) {
    const QString gpu = QStringLiteral("AMD Radeon RX 6600");
    const QString cpu = QStringLiteral("llvmpipe (LLVM 15.0.6, 256 bits)");
    QString warning;
    auto decide = [&](const char* forced, const char* platform, std::optional<QString> renderer) {
        warning.clear();
        return decideSurface(QString::fromLatin1(forced), QString::fromLatin1(platform), renderer,
                             QStringLiteral("no OpenGL context could be created"), &warning);
    };

    auto choice = decide("", "xcb", gpu);
    EXPECT_EQ(choice.surface, Surface::OpenGL);
    EXPECT_EQ(choice.reason, "renderer: AMD Radeon RX 6600");
    choice = decide("", "xcb", cpu);
    EXPECT_EQ(choice.surface, Surface::Software);
    EXPECT_EQ(choice.reason, "llvmpipe (LLVM 15.0.6, 256 bits) is a software renderer");
    choice = decide("", "wayland", std::nullopt);
    EXPECT_EQ(choice.surface, Surface::Software);
    EXPECT_EQ(choice.reason, "no OpenGL context could be created");
    choice = decide("", "offscreen", gpu);
    EXPECT_EQ(choice.surface, Surface::Software);
    EXPECT_TRUE(warning.isEmpty());

    // Forcing, in any case and with spaces around.
    choice = decide(" OpenGL ", "xcb", cpu);
    EXPECT_EQ(choice.surface, Surface::OpenGL);
    EXPECT_EQ(choice.reason, "renderer: llvmpipe (LLVM 15.0.6, 256 bits), forced by LUMORA_RENDER");
    choice = decide("software", "xcb", gpu);
    EXPECT_EQ(choice.surface, Surface::Software);
    EXPECT_EQ(choice.reason, "forced by LUMORA_RENDER");
    // OpenGL cannot be forced where there is none.
    EXPECT_EQ(decide("opengl", "xcb", std::nullopt).surface, Surface::Software);
    EXPECT_EQ(decide("opengl", "offscreen", gpu).surface, Surface::Software);
    EXPECT_TRUE(warning.isEmpty());

    // An unknown value is told about and changes nothing.
    choice = decide("vulkan", "xcb", gpu);
    EXPECT_EQ(choice.surface, Surface::OpenGL);
    EXPECT_EQ(warning, "lumora: LUMORA_RENDER=vulkan is neither software nor opengl; choosing by itself");
    EXPECT_EQ(decide("vulkan", "xcb", cpu).surface, Surface::Software);
}

TEST(SurfaceChoice, SharedMemoryTakesOnlyScreensWhosePixelsLibmpvDrawsAsTheServerReadsThem) {
    // A PC's X server at depth 24: 32-bit pixels, red in the high byte, least significant byte first.
    ServerPixels pc{24, 32, true, false, 0xff0000, 0xff00, 0xff};
    QString why = QStringLiteral("untouched");
    EXPECT_EQ(sharedMemoryFormat(pc, &why), "bgr0");
    EXPECT_EQ(why, "untouched");
    ServerPixels deep = pc;
    deep.depth = 32;
    EXPECT_EQ(sharedMemoryFormat(deep, &why), "bgr0");
    // The same pixels in the other byte order, and with red and blue swapped.
    ServerPixels bigEndian = pc;
    bigEndian.mostSignificantByteFirst = true;
    EXPECT_EQ(sharedMemoryFormat(bigEndian, &why), "0rgb");
    ServerPixels swapped = pc;
    swapped.redMask = 0xff;
    swapped.blueMask = 0xff0000;
    EXPECT_EQ(sharedMemoryFormat(swapped, &why), "rgb0");
    swapped.mostSignificantByteFirst = true;
    EXPECT_EQ(sharedMemoryFormat(swapped, &why), "0bgr");

    // Everything else is painted from images, and the reason says why.
    ServerPixels highColour{16, 16, true, false, 0xf800, 0x7e0, 0x1f};
    EXPECT_EQ(sharedMemoryFormat(highColour, &why), "");
    EXPECT_EQ(why, "the X server's screen has depth 16, not 24 or 32");
    ServerPixels packed = pc;
    packed.bitsPerPixel = 24;
    EXPECT_EQ(sharedMemoryFormat(packed, &why), "");
    EXPECT_EQ(why, "the X server keeps 24 bits a pixel, not 32");
    ServerPixels palette = pc;
    palette.trueColour = false;
    EXPECT_EQ(sharedMemoryFormat(palette, &why), "");
    EXPECT_EQ(why, "the X server's screen is not true colour");
    ServerPixels tenBits{30, 32, true, false, 0x3ff00000, 0xffc00, 0x3ff};
    EXPECT_EQ(sharedMemoryFormat(tenBits, &why), "");
    EXPECT_EQ(why, "the X server's screen has depth 30, not 24 or 32");
    ServerPixels redOnTop{32, 32, true, false, 0xff000000, 0xff0000, 0xff00};
    EXPECT_EQ(sharedMemoryFormat(redOnTop, &why), "");
    EXPECT_EQ(why, "the X server's colour masks are 0xff000000, 0xff0000 and 0xff00");
    // A screen that could not be read at all.
    EXPECT_EQ(sharedMemoryFormat(ServerPixels{}, &why), "");
    EXPECT_EQ(why, "the X server's screen has depth 0, not 24 or 32");
}
