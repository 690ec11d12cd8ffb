#pragma once
#include <QStringList>
#include "platform/MediaPlayer.h"

namespace testsupport {

// Stands in for the media engine where a test looks at what the players ask of it.
class FakeMediaPlayer : public platform::MediaPlayer {
    Q_OBJECT
public:
    explicit FakeMediaPlayer(QWidget* parent = nullptr) : MediaPlayer(parent) {}

    void setURL(const QString& url) override {
        m_url = url;
        urls << url;
        calls << QStringLiteral("URL=") + url;
        state = url.isEmpty() ? Stopped : Playing;
    }
    QString URL() const override { return m_url; }
    int playState() const override { return state; }
    void play() override {
        calls << QStringLiteral("play");
        state = Playing;
    }
    void stop() override {
        calls << QStringLiteral("stop");
        state = Stopped;
    }
    void closeMedia() override { calls << QStringLiteral("close"); }
    void setMute(bool m) override {
        muted = m;
        calls << (m ? QStringLiteral("mute") : QStringLiteral("unmute"));
    }
    bool mute() const override { return muted; }
    void setLooping(bool on) override { looping = on; }
    void setResting(bool on) override {
        resting = on;
        calls << (on ? QStringLiteral("rest") : QStringLiteral("wake"));
    }

    // Ends the current item, as the engine reports when the file has played.
    void finish() { state = Stopped; }
    // Ends it as having played through, which the form acts on at once.
    void playThrough() {
        state = Stopped;
        emit endOfMedia();
    }

    QStringList urls;
    QStringList calls;
    int state = Undefined;
    bool muted = false;
    bool looping = false;
    bool resting = false;

private:
    QString m_url;
};

} // namespace testsupport
