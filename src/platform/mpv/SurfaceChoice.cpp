#include "platform/mpv/SurfaceChoice.h"
#include "platform/mpv/GlRenderLoop.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#include <mutex>

namespace platform::mpv {

namespace {

struct Probe {
    std::optional<QString> renderer;
    QString failure;
};

// A context on an offscreen surface, asked for its renderer's name.
Probe probeOpenGL() {
    Probe probe;
    if (!QOpenGLContext::supportsThreadedOpenGL()) {
        probe.failure = QStringLiteral("this platform has no OpenGL on other threads");
        return probe;
    }
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    const bool created = surface.isValid() && context.create();
    keepOpenGlDriverLoaded();
    if (!created || !context.makeCurrent(&surface)) {
        probe.failure = QStringLiteral("no OpenGL context could be created");
        return probe;
    }
    const auto* name = context.functions()->glGetString(GL_RENDERER);
    probe.renderer = name ? QString::fromLatin1(reinterpret_cast<const char*>(name)) : QString();
    context.doneCurrent();
    return probe;
}

// Whether the X server lets clients draw on a graphics card directly (DRI2, DRI3, or NVIDIA's own
// GLX). Without it OpenGL can only draw with the processor, and asking a context which renderer it
// has would load that renderer, a large library, only to learn it: a tenth of a second at start-up.
bool xServerHasDirectRendering() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* conn = x11 ? x11->connection() : nullptr;
    if (!conn) return true;
    const char* names[] = {"DRI3", "DRI2", "NV-GLX"};
    xcb_query_extension_cookie_t cookies[3];
    for (int i = 0; i < 3; ++i) cookies[i] = xcb_query_extension(conn, uint16_t(std::strlen(names[i])), names[i]);
    bool present = false;
    for (auto& cookie : cookies) {
        if (auto* reply = xcb_query_extension_reply(conn, cookie, nullptr)) {
            present = present || reply->present;
            free(reply);
        }
    }
    return present;
}

} // namespace

bool isSoftwareRenderer(const QString& renderer) {
    for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
        if (renderer.contains(QLatin1String(name), Qt::CaseInsensitive)) return true;
    return false;
}

SurfaceChoice decideSurface(const QString& forced, const QString& platformName,
                            const std::optional<QString>& renderer, const QString& failure,
                            QString* warning) {
    const QString value = forced.trimmed().toLower();
    const bool forceSoftware = value == QLatin1String("software");
    const bool forceOpenGL = value == QLatin1String("opengl");
    if (!value.isEmpty() && !forceSoftware && !forceOpenGL && warning)
        *warning = QStringLiteral("lumora: LUMORA_RENDER=%1 is neither software nor opengl; choosing by itself")
                       .arg(forced);
    const QString byRequest = QStringLiteral("forced by LUMORA_RENDER");
    if (forceSoftware) return {Surface::Software, byRequest};
    if (platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal"))
        return {Surface::Software, QStringLiteral("the %1 platform shows nothing on a screen").arg(platformName)};
    if (!renderer) return {Surface::Software, failure.isEmpty() ? QStringLiteral("no OpenGL") : failure};
    const QString name = renderer->isEmpty() ? QStringLiteral("unnamed") : *renderer;
    if (forceOpenGL) return {Surface::OpenGL, QStringLiteral("renderer: %1, %2").arg(name, byRequest)};
    if (isSoftwareRenderer(name))
        return {Surface::Software, QStringLiteral("%1 is a software renderer").arg(name)};
    return {Surface::OpenGL, QStringLiteral("renderer: %1").arg(name)};
}

Surface chosenSurface() {
    static std::once_flag once;
    static Surface surface = Surface::Software;
    std::call_once(once, [] {
        const QString forced = qEnvironmentVariable("LUMORA_RENDER");
        const QString platformName = QGuiApplication::platformName();
        Probe probe;
        // No probe where its answer could not change the outcome.
        bool needed = forced.trimmed().toLower() != QLatin1String("software") &&
                            platformName != QLatin1String("offscreen") && platformName != QLatin1String("minimal");
        if (needed && platformName == QLatin1String("xcb") && forced.trimmed().toLower() != QLatin1String("opengl") &&
            !xServerHasDirectRendering()) {
            needed = false;
            probe.failure = QStringLiteral("the X server offers no direct rendering, so OpenGL would draw with the processor");
        }
        if (needed) probe = probeOpenGL();
        QString warning;
        const SurfaceChoice choice = decideSurface(forced, platformName, probe.renderer, probe.failure, &warning);
        if (!warning.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(warning));
        std::fprintf(stderr, "lumora: rendering %s (%s)\n",
                     choice.surface == Surface::OpenGL ? "with OpenGL" : "in software", qPrintable(choice.reason));
        surface = choice.surface;
    });
    return surface;
}

void reportOpenGLFailure(const QString& why) {
    static std::once_flag once;
    std::call_once(once, [&] {
        std::fprintf(stderr, "lumora: OpenGL rendering failed (%s); rendering in software instead\n",
                     qPrintable(why));
    });
}

} // namespace platform::mpv
