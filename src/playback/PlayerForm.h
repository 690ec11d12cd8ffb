#pragma once
#include <cstdint>
#include <QTimer>
#include "playback/MediaPlayer.h"
#include "runtime/Guard.h"
#include "runtime/Form.h"

namespace playback {

// What the two player forms share: the media control, the poll timer, the play-list position, the
// settings read at load, the pointer, and the password check that guards every unload.
class PlayerForm : public runtime::Form {
    Q_OBJECT
public:
    explicit PlayerForm(const QString& name);

    MediaPlayer* WindowsMediaPlayer1 = nullptr;
    QTimer* Timer4 = nullptr;
    QTimer* Timer2 = nullptr;

    bool singleFileMode = true;
    QString startUpFileName;
    QString currentMediaPath;
    QString lastDirectory;
    QString backDropColor = QStringLiteral("0");
    int16_t mouseSensitivity = 4;
    int16_t mutePreference = 0;
    int16_t playListPosition = 0;
    int16_t passwordFlag = 0;

    // ScreensaverSoundMutePreference read anew and applied: 0 sound on, 1 off, else unchanged.
    void applyMutePreference();
    // The pick that PlayInRandomOrder selects now.
    void pickNext();
    // Hides the pointer (count below -50) and shows it again (51 or more).
    void hidePointer();
    void restorePointer();
    bool passwordInForce() const;
    // One step on the media control, skipped on error and when there is no control.
    template <class Step> void withPlayer(Step&& step) {
        runtime::skipOnError([&] {
            if (WindowsMediaPlayer1) step(*WindowsMediaPlayer1);
        });
    }
    // Back colour from a colour number &H00BBGGRR.
    void setBackColour(int32_t colour);

protected:
    // The password check; false refuses the unload.
    bool Form_QueryUnload() override;
    // After a refused password.
    virtual void passwordRefused() {}
    void createPlayer();
    void setupMouseTracking(QWidget* w);
};

} // namespace playback
