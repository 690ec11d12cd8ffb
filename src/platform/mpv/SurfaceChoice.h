#pragma once
#include <QString>
#include <optional>

namespace platform::mpv {

enum class Surface { Automatic, Software, OpenGL };

struct SurfaceChoice {
    Surface surface = Surface::Software;
    // Why, for the line on stderr: "with OpenGL (renderer: ...)", "in software (... )".
    QString reason;
};

// Mesa's llvmpipe and softpipe, and the other renderers that draw with the processor: libmpv's
// software surface is cheaper than OpenGL on them.
bool isSoftwareRenderer(const QString& renderer);

// The choice from LUMORA_RENDER's value (`forced`, may be empty), the Qt platform's name, and what
// an OpenGL probe found: the renderer's name, or nothing when no context could be made (`failure`
// says why). `warning` receives a line for an unknown forced value.
SurfaceChoice decideSurface(const QString& forced, const QString& platformName,
                            const std::optional<QString>& renderer, const QString& failure,
                            QString* warning);

// The surface new players use: decided on first use (probing OpenGL once on the GUI thread) and
// told on stderr once per process.
Surface chosenSurface();

// Tells on stderr, once per process, that an OpenGL player fell back to software.
void reportOpenGLFailure(const QString& why);

} // namespace platform::mpv
