// How the surface is chosen from LUMORA_RENDER, the platform and the renderer an OpenGL probe found.
#include "platform/mpv/SurfaceChoice.h"
#include <gtest/gtest.h>

using platform::mpv::decideSurface;
using platform::mpv::isSoftwareRenderer;
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
