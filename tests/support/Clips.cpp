#include "Clips.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

namespace {

QStringList ffmpegArguments(ClipKind kind, double seconds, const QString& colour) {
    const QString length = QString::number(seconds, 'f', 3);
    const QString pattern = QStringLiteral("testsrc=size=320x240:rate=25:duration=") + length;
    const QString tone = QStringLiteral("sine=frequency=440:sample_rate=44100:duration=") + length;
    switch (kind) {
    case ClipKind::MpegVideo:
        return {"-f", "lavfi", "-i", pattern, "-f", "lavfi", "-i", tone,
                "-c:v", "mpeg1video", "-q:v", "4", "-c:a", "mp2", "-b:a", "128k"};
    case ClipKind::AviVideo:
        return {"-f", "lavfi", "-i", pattern, "-f", "lavfi", "-i", tone,
                "-c:v", "mpeg4", "-q:v", "4", "-c:a", "pcm_s16le"};
    case ClipKind::WavSound:
        return {"-f", "lavfi", "-i", tone, "-c:a", "pcm_s16le"};
    case ClipKind::Mp3Sound:
        return {"-f", "lavfi", "-i", tone, "-c:a", "libmp3lame", "-b:a", "128k"};
    case ClipKind::SolidColour:
        return {"-f", "lavfi", "-i",
                QStringLiteral("color=c=%1:size=320x240:rate=25:duration=%2").arg(colour, length),
                "-c:v", "mpeg1video", "-q:v", "2"};
    case ClipKind::Unplayable:
        break;
    }
    return {};
}

bool writeGarbage(const QString& path) {
    // Seeded, so every run gets the same bytes and a failure can be reproduced.
    QRandomGenerator random(20240229);
    QByteArray bytes(64 * 1024, Qt::Uninitialized);
    for (char& byte : bytes) byte = char(random.bounded(256));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

QString makeClip(const QString& dir, const QString& name, ClipKind kind, double seconds, const QString& colour) {
    static QHash<QString, QString> made; // path -> the arguments it was made with
    const QString path = QDir(dir).absoluteFilePath(name);
    const QString key = QStringLiteral("%1|%2|%3").arg(int(kind)).arg(seconds).arg(colour);
    if (made.value(path) == key && QFileInfo::exists(path)) return path;
    made.remove(path);

    if (!QDir().mkpath(dir)) {
        ADD_FAILURE() << "cannot create " << dir.toStdString();
        return {};
    }
    if (kind == ClipKind::Unplayable) {
        if (!writeGarbage(path)) {
            ADD_FAILURE() << "cannot write " << path.toStdString();
            return {};
        }
    } else {
        QProcess ffmpeg;
        QStringList arguments{"-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
        arguments << ffmpegArguments(kind, seconds, colour) << "-t" << QString::number(seconds, 'f', 3) << path;
        ffmpeg.start(QStringLiteral("ffmpeg"), arguments);
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
            ffmpeg.exitCode() != 0 || !QFileInfo::exists(path)) {
            ADD_FAILURE() << "ffmpeg could not make " << path.toStdString() << ": "
                          << ffmpeg.errorString().toStdString() << " "
                          << ffmpeg.readAllStandardError().toStdString();
            return {};
        }
    }
    made.insert(path, key);
    return path;
}

QString clipFolder() {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/lumora-clips-XXXXXX"));
    return folder.path();
}

} // namespace testsupport
