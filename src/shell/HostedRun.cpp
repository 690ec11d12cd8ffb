#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include "platform/Platform.h"
#include "platform/Settings.h"
#include "playback/MonitorPicks.h"
#include "platform/wayland/WaylandDesktop.h"
#include "playback/PlayerForm.h"
#include "runtime/FormRegistry.h"
#include "base/Guard.h"
#include "runtime/Twips.h"
#include "shell/VIDEOSCR.h"

using namespace runtime;

namespace VIDEOSCR {

namespace {

// The daemon owns the keyboard and the mouse: no input reaches the players, so nothing ends them.
class InputToTheDaemon : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
        }
    }
};

QSize hostSize(int64_t host) {
    const platform::WindowRect r = platform::preview().clientRect(host);
    return QSize(r.right - r.left, r.bottom - r.top);
}

// Each: the copies on the other monitors spread their starts in the play list by the place of their
// monitor among the display's, in the same order for every copy. A host that is no one monitor's
// (one window across them all) has no place.
void tellPlaceAmongMonitors(int64_t host, const QSize& size) {
    const std::optional<QPoint> at = platform::preview().originOnRoot(host);
    if (!at) return;
    QList<QRect> monitors;
    for (QScreen* s : QGuiApplication::screens()) monitors << s->geometry();
    std::sort(monitors.begin(), monitors.end(), [](const QRect& a, const QRect& b) {
        return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y();
    });
    const QPoint centre = *at + QPoint(size.width() / 2, size.height() / 2);
    for (int i = 0; i < monitors.size(); ++i) {
        const QRect& m = monitors[i];
        if (!m.contains(centre)) continue;
        if (size.width() <= m.width() && size.height() <= m.height())
            playback::setPlaceAmongMonitors(i, int(monitors.size()));
        return;
    }
}

// How often the host window is looked at: its size followed, its end noticed.
constexpr int kHostPollMs = 200;

} // namespace

bool RunHosted(int64_t hostWindow) {
    if (platform::wayland::onWayland()) {
        std::fprintf(stderr, "lumora: xscreensaver's window (--root, --window-id) is an X11 convention, and "
                             "this is a Wayland session: start lumora /s from swayidle or hypridle instead\n");
        return false;
    }
    if (!platform::preview().isWindow(hostWindow)) {
        std::fprintf(stderr, "lumora: there is no window 0x%llx to draw in\n",
                     static_cast<unsigned long long>(hostWindow));
        return false;
    }
    const QSize size = hostSize(hostWindow);
    if (size.isEmpty()) {
        std::fprintf(stderr, "lumora: the window 0x%llx has no size\n", static_cast<unsigned long long>(hostWindow));
        return false;
    }
    // The host is the screen: the players size themselves to it, and once embedded the floating
    // player takes its share of the host's size, not of the monitor's.
    hostScreenPixels() = size;
    qApp->installEventFilter(new InputToTheDaemon(qApp));

    // The daemon starts one copy on each monitor: with EveryMonitor they share their picks, from the
    // first one the player makes as it loads.
    const playback::MonitorUse use = playback::monitorUseFrom(settings::read(settings::Key::EveryMonitor));
    playback::sharePicksWithOtherMonitors(use, qEnvironmentVariable("DISPLAY"));
    if (use == playback::MonitorUse::Each) tellPlaceAmongMonitors(hostWindow, size);

    // One player: the one /s would show on top.
    QStringList players = playerFormsToShow();
    const QString name = players.isEmpty() ? QStringLiteral("frmAbsoluteFullScreenVideo") : players.last();
    Form* form = forms().get(name);
    if (!form) return false;
    // Shown without taking the keyboard, and transparent to the pointer, so input reaches the daemon.
    form->setAttribute(Qt::WA_ShowWithoutActivating);
    form->Load();
    auto* player = qobject_cast<playback::PlayerForm*>(forms().find(name));
    if (!player || !player->isLoaded()) return true; // it ended itself and said why
    player->setWindowState(Qt::WindowNoState);
    player->setGeometry(QRect(QPoint(0, 0), size));
    const bool embedded = skipOnError([&] { platform::preview().embed(player, hostWindow); });
    if (!embedded) {
        std::fprintf(stderr, "lumora: cannot draw in the window 0x%llx\n", static_cast<unsigned long long>(hostWindow));
        forms().reset();
        return false;
    }
    if (QWindow* w = player->windowHandle()) w->setFlag(Qt::WindowTransparentForInput, true);
    player->setGeometry(QRect(QPoint(0, 0), size));
    player->screenResized();

    auto* poll = new QTimer(player);
    QObject::connect(poll, &QTimer::timeout, player, [player, hostWindow] {
        bool there = false;
        skipOnError([&] { there = platform::preview().isWindow(hostWindow); });
        if (!there) {
            // The daemon took its window away without a signal: nothing is left to draw in.
            platform::process().endProgram(0);
            return;
        }
        const QSize now = hostSize(hostWindow);
        if (now.isEmpty() || now == hostScreenPixels()) return;
        hostScreenPixels() = now;
        player->setGeometry(QRect(QPoint(0, 0), now));
        skipOnError([&] { player->screenResized(); });
    });
    poll->start(kHostPollMs);
    return true;
}

} // namespace VIDEOSCR
