#include "Clips.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "support/Processes.h"
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace testsupport {

namespace {

QStringList ffmpegArguments(ClipKind kind, double seconds, const QString& colour) {
    const QString length = QString::number(seconds, 'f', 3);
    const QString pattern = QStringLiteral("testsrc=size=320x240:rate=25:duration=") + length;
    const QString tone = QStringLiteral("sine=frequency=440:sample_rate=44100:duration=") + length;
    switch (kind) {
    case ClipKind::MpegVideo:
        return {"-f",   "lavfi",      "-i",   pattern, "-f",   "lavfi", "-i",   tone,
                "-c:v", "mpeg1video", "-q:v", "4",     "-c:a", "mp2",   "-b:a", "128k"};
    case ClipKind::AviVideo:
        return {"-f", "lavfi", "-i",    pattern, "-f", "lavfi", "-i",
                tone, "-c:v",  "mpeg4", "-q:v",  "4",  "-c:a",  "pcm_s16le"};
    case ClipKind::WavSound:
        return {"-f", "lavfi", "-i", tone, "-c:a", "pcm_s16le"};
    case ClipKind::Mp3Sound:
        return {"-f", "lavfi", "-i", tone, "-c:a", "libmp3lame", "-b:a", "128k"};
    case ClipKind::SolidColour:
        return {"-f",   "lavfi",
                "-i",   QStringLiteral("color=c=%1:size=320x240:rate=25:duration=%2").arg(colour, length),
                "-c:v", "mpeg1video",
                "-q:v", "2"};
    case ClipKind::Quadrants:
    case ClipKind::QuadrantsTurned90:
    case ClipKind::QuadrantsTurned270: {
        QStringList arguments;
        for (const char* c : {"red", "blue", "green", "white"})
            arguments << "-f" << "lavfi" << "-i"
                      << QStringLiteral("color=c=%1:size=160x120:rate=25:duration=%2").arg(QLatin1String(c), length);
        return arguments << "-filter_complex"
                         << "[0][1]hstack[t];[2][3]hstack[b];[t][b]vstack"
                         << "-c:v" << (kind == ClipKind::Quadrants ? "mpeg1video" : "mpeg4") << "-q:v"
                         << "2";
    }
    case ClipKind::VeryLarge:
        return {"-f",       "lavfi",
                "-i",       QStringLiteral("testsrc2=size=7680x4320:rate=25:duration=") + length,
                "-c:v",     "libx264",
                "-preset",  "ultrafast",
                "-pix_fmt", "yuv420p"};
    case ClipKind::Unplayable:
        break;
    }
    return {};
}

bool writeGarbage(const QString& path) {
    // Seeded, so every run gets the same bytes and a failure can be reproduced.
    QRandomGenerator random(20240229);
    QByteArray bytes(64 * 1024, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Made clips are kept in the build tree by their ffmpeg arguments, so the many test programs of
// one run (and later runs) make each clip once; the caller gets a copy under the name it wants.
QString cachedClip(const QStringList& arguments, const QString& suffix) {
    const QString cacheDir = QStringLiteral(LUMORA_BINARY_DIR "/test-clip-cache");
    const QByteArray hash =
        QCryptographicHash::hash(arguments.join(QChar(0)).toUtf8(), QCryptographicHash::Sha1).toHex();
    const QString cached = cacheDir + '/' + QString::fromLatin1(hash) + '.' + suffix;
    if (QFileInfo::exists(cached)) return cached;
    if (!QDir().mkpath(cacheDir)) {
        ADD_FAILURE() << "cannot create " << cacheDir.toStdString();
        return {};
    }
    // Made under a name of its own and renamed, so programs running side by side never see half a clip.
    const QString partial =
        QStringLiteral("%1.%2.part.%3").arg(cached).arg(QCoreApplication::applicationPid()).arg(suffix);
    const ProcessResult ffmpeg = runProcess(
        QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-hide_banner", "-loglevel", "error", "-y"} << arguments << partial,
        60000);
    if (ffmpeg.exitCode != 0 || !QFileInfo::exists(partial)) {
        ADD_FAILURE() << "ffmpeg could not make " << cached.toStdString() << " (exit " << ffmpeg.exitCode
                      << "): " << ffmpeg.err.toStdString();
        QFile::remove(partial);
        return {};
    }
    if (!QFile::rename(partial, cached)) {
        QFile::remove(partial);
        if (!QFileInfo::exists(cached)) {
            ADD_FAILURE() << "cannot store " << cached.toStdString();
            return {};
        }
    }
    return cached;
}

} // namespace

QString makeClip(const QString& dir, const QString& name, ClipKind kind, double seconds,
                 const QString& colour) {
    const QString path = QDir(dir).absoluteFilePath(name);
    if (!QDir().mkpath(dir)) {
        ADD_FAILURE() << "cannot create " << dir.toStdString();
        return {};
    }
    QFile::remove(path);
    if (kind == ClipKind::Unplayable) {
        if (!writeGarbage(path)) {
            ADD_FAILURE() << "cannot write " << path.toStdString();
            return {};
        }
        return path;
    }
    const QStringList arguments = ffmpegArguments(kind, seconds, colour)
                                  << "-t" << QString::number(seconds, 'f', 3);
    QString cached = cachedClip(arguments, QFileInfo(name).suffix());
    if (cached.isEmpty()) return {};
    if (kind == ClipKind::QuadrantsTurned90 || kind == ClipKind::QuadrantsTurned270) {
        // The mark goes on only when copying a stream, not while encoding one.
        const QString degrees =
            kind == ClipKind::QuadrantsTurned90 ? QStringLiteral("90") : QStringLiteral("270");
        cached = cachedClip({"-i", cached, "-c", "copy", "-metadata:s:v:0", "rotate=" + degrees},
                            QStringLiteral("mp4"));
        if (cached.isEmpty()) return {};
    }
    if (!QFile::copy(cached, path)) {
        ADD_FAILURE() << "cannot copy " << cached.toStdString() << " to " << path.toStdString();
        return {};
    }
    return path;
}

QString makeColourClip(const QString& path, const QStringList& colours, double seconds, bool withSound) {
    QStringList args;
    QString filter;
    for (int i = 0; i < colours.size(); ++i) {
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("color=c=%1:s=320x240:r=25:d=%2").arg(colours[i]).arg(seconds);
        filter += QStringLiteral("[%1:v]").arg(i);
    }
    if (withSound)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=f=440:d=%1").arg(seconds * double(colours.size()));
    filter += QStringLiteral("concat=n=%1:v=1:a=0[v]").arg(colours.size());
    args << QStringLiteral("-filter_complex") << filter << QStringLiteral("-map") << QStringLiteral("[v]");
    const QString suffix = QFileInfo(path).suffix();
    if (!withSound) {
        args << QStringLiteral("-c:v") << QStringLiteral("mpeg1video") << QStringLiteral("-q:v")
             << QStringLiteral("2");
    } else if (suffix == QLatin1String("mp4")) {
        // As cameras and phones make them: H.264 with AAC, which a hardware decoder would take.
        args << QStringLiteral("-map") << QStringLiteral("%1:a").arg(colours.size()) << QStringLiteral("-c:v")
             << QStringLiteral("libx264") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p")
             << QStringLiteral("-c:a") << QStringLiteral("aac");
    } else {
        args << QStringLiteral("-map") << QStringLiteral("%1:a").arg(colours.size()) << QStringLiteral("-c:v")
             << QStringLiteral("mpeg1video") << QStringLiteral("-q:v") << QStringLiteral("2")
             << QStringLiteral("-c:a") << QStringLiteral("mp2");
    }
    const QString cached = cachedClip(args, suffix);
    if (cached.isEmpty()) return {};
    QFile::remove(path);
    return QFile::copy(cached, path) ? path : QString();
}

QString clipFolder() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/lumora-clips-XXXXXX"));
    return folder.path();
}

} // namespace testsupport
