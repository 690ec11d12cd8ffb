#pragma once
#include <QString>
#include <QStringList>

// Media clips made with ffmpeg at test time, for tests that play real files.
namespace testsupport {

enum class ClipKind {
    MpegVideo,   // MPEG-1 video of ffmpeg's test pattern with a tone, for a .mpg name
    AviVideo,    // MPEG-4 part 2 video of the test pattern with a tone, for an .avi name
    WavSound,    // a sine tone as PCM, for a .wav name
    Mp3Sound,    // a sine tone as MP3, for an .mp3 name
    SolidColour, // MPEG-1 video of one colour (the colour argument), no sound, for a .mpg name
    Unplayable,  // fixed garbage bytes, no media at all, whatever the name says (e.g. .avi)
    Quadrants,   // MPEG-1 video, no sound, for a .mpg name: red top left, blue top right, green bottom
                 // left, white bottom right; shows orientation and stretching
    // The quadrants as MPEG-4 in an .mp4, marked to be shown turned 90 or 270 degrees, as phones
    // store portrait videos: upright, red is bottom left (90) or top right (270).
    QuadrantsTurned90,
    QuadrantsTurned270,
    // ffmpeg's second test pattern at 7680x4320 as H.264 in an .mp4, no sound: frames of 50 MB.
    VeryLarge,

};

// Writes a fresh dir/name (creating dir) and returns its full path. The container follows the name's
// extension; pictures are 320x240 (unless the kind says otherwise) at 25 frames a second. ffmpeg runs once per kind, length, colour
// and extension: made clips are kept in the build tree and copied from there. On failure the
// current test fails and "" is returned.
QString makeClip(const QString& dir, const QString& name, ClipKind kind, double seconds = 1.0,
                 const QString& colour = QStringLiteral("red"));

// A clip of solid colours one after another, each `seconds` long, at path. With sound, a tone plays
// throughout: H.264 and AAC for an .mp4 name, MPEG-1 and MPEG audio otherwise. Made once like the
// others and copied; "" when it could not be made.
QString makeColourClip(const QString& path, const QStringList& colours, double seconds, bool withSound = false);

// A folder for this run's clips, removed when the test program ends.
QString clipFolder();

} // namespace testsupport
