#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <QScreen>
#include "base/MonitorUse.h"

namespace playback {

class PlayerForm;

// A window over one monitor that the player form does not cover: the form's background (the back
// colour, or the gradient it shows), no pointer, on top, and the form's ways of ending on any input.
class ScreenCoverWindow : public QWidget {
    Q_OBJECT
public:
    ScreenCoverWindow(PlayerForm* form, QScreen* screen);
    QScreen* coveredScreen() const { return m_screen; }
    // The monitor moved or changed size.
    void followScreen();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<PlayerForm> m_form;
    QPointer<QScreen> m_screen;
};

// Keeps every monitor but the form's covered while the form is shown, following monitors that are
// added, removed or moved: with the background (Primary), or with a companion player form of the
// form's kind (Same, Each). Owned by the form; the windows go with it.
class ScreenCover : public QObject {
    Q_OBJECT
public:
    ScreenCover(PlayerForm* form, MonitorUse use);
    ~ScreenCover() override;
    const QList<ScreenCoverWindow*>& windows() const { return m_windows; }
    QList<PlayerForm*> companions() const;
    // Makes the set of windows match the monitors now.
    void update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void clear();
    void updateCompanions(QList<QScreen*> wanted);
    PlayerForm* m_form;
    MonitorUse m_use;
    QList<ScreenCoverWindow*> m_windows;
    QList<QPointer<PlayerForm>> m_companions;
    QTimer m_topmost;
    bool m_formShown = false;
};

// Covers the monitors the player form leaves bare, as `use` says; returns the cover (owned by the
// form). In single-file mode every monitor shows the one file (Each is Same).
ScreenCover* coverOtherScreens(PlayerForm* form, MonitorUse use = MonitorUse::Primary);

} // namespace playback
