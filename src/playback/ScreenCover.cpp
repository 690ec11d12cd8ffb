#include "playback/ScreenCover.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include "platform/Platform.h"
#include "playback/Gradient.h"
#include "playback/PlayerForm.h"
#include "base/Guard.h"
#include "runtime/Twips.h"

namespace playback {

ScreenCoverWindow::ScreenCoverWindow(PlayerForm* form, QScreen* screen) : m_form(form), m_screen(screen) {
    setObjectName(QStringLiteral("ScreenCover"));
    setWindowTitle(QStringLiteral("Screen Saver Cover"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setCursor(Qt::BlankCursor);
    setFocusPolicy(Qt::StrongFocus);
    runtime::skipOnError([&] {
        if (platform::windows().screenHeld()) platform::windows().holdWindow(this, false);
    });
    followScreen();
    connect(form, &PlayerForm::backgroundChanged, this, qOverload<>(&QWidget::update));
}

void ScreenCoverWindow::followScreen() {
    if (!m_screen) return;
    setScreen(m_screen);
    setGeometry(m_screen->geometry());
}

void ScreenCoverWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor back = m_form ? m_form->backColour() : QColor(Qt::black);
    p.fillRect(rect(), back);
    if (!m_form || !m_form->gradientShown()) return;
    // The same bands the form shows, drawn for this monitor's size.
    const StartColour& start = *m_form->gradientShown();
    for (const GradientBand& band : gradientBands(runtime::pixelsToTwips(width()), runtime::pixelsToTwips(height()),
                                                  start.red, start.green, start.blue))
        p.fillRect(band.rect, toColour(band.colour));
}

// Input here is input to the form: positions are given in the form's own coordinates, which the form
// takes back to the desktop's, so a move is measured the same on whichever monitor it is made.
void ScreenCoverWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!m_form || !m_form->isVisible()) return;
    const QPointF at = event->globalPosition() - QPointF(m_form->mapToGlobal(QPoint(0, 0)));
    PlayerForm* form = m_form;
    runtime::skipOnError([&] {
        form->Form_MouseMove(platform::buttonCodeOf(event->buttons()), platform::shiftCodeOf(event->modifiers()), at.x(), at.y());
    });
}

void ScreenCoverWindow::mousePressEvent(QMouseEvent* event) { event->accept(); }

void ScreenCoverWindow::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (m_form && m_form->isVisible()) runtime::skipOnError([&] { m_form->Form_Click(); });
}

void ScreenCoverWindow::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (m_form && m_form->isVisible()) runtime::skipOnError([&] { m_form->Form_Click(); });
}

void ScreenCoverWindow::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (m_form && m_form->isVisible()) runtime::skipOnError([&] { m_form->Form_KeyPress(platform::keyAsciiOf(event)); });
}

ScreenCover::ScreenCover(PlayerForm* form, MonitorUse use) : QObject(form), m_form(form), m_use(use) {
    setObjectName(QStringLiteral("ScreenCover"));
    form->installEventFilter(this);
    m_formShown = form->isVisible();
    connect(qApp, &QGuiApplication::screenAdded, this, &ScreenCover::update);
    connect(qApp, &QGuiApplication::screenRemoved, this, &ScreenCover::update);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &ScreenCover::update);
    // A daemon or another program may raise a window over ours, as over the form.
    m_topmost.setInterval(1000);
    connect(&m_topmost, &QTimer::timeout, this, [this] {
        for (ScreenCoverWindow* w : std::as_const(m_windows))
            runtime::skipOnError([&] { platform::windows().makeTopmost(w); });
    });
    update();
}

ScreenCover::~ScreenCover() { clear(); }

void ScreenCover::clear() {
    m_topmost.stop();
    qDeleteAll(m_windows);
    m_windows.clear();
    for (const QPointer<PlayerForm>& c : std::as_const(m_companions)) {
        if (!c) continue;
        c->release();
        delete c.data();
    }
    m_companions.clear();
}

QList<PlayerForm*> ScreenCover::companions() const {
    QList<PlayerForm*> list;
    for (const QPointer<PlayerForm>& c : m_companions)
        if (c) list << c.data();
    return list;
}

void ScreenCover::updateCompanions(QList<QScreen*> wanted) {
    auto drop = [](PlayerForm* c) {
        c->release();
        if (c->isLoaded()) runtime::skipOnError([&] { c->Unload(); });
        else delete c;
    };
    for (auto it = m_companions.begin(); it != m_companions.end();) {
        PlayerForm* c = *it;
        if (!c || c->isUnloading()) {
            it = m_companions.erase(it);
        } else if (!c->monitor() || !wanted.contains(c->monitor())) {
            it = m_companions.erase(it);
            drop(c);
        } else {
            wanted.removeOne(c->monitor());
            if (c->isLoaded()) c->followMonitor();
            ++it;
        }
    }
    for (QScreen* s : wanted)
        runtime::skipOnError([&] {
            if (PlayerForm* c = m_form->makeCompanion(Companion{m_form, s, m_use})) m_companions << c;
        });
    if (!m_formShown) return;
    for (const QPointer<PlayerForm>& c : std::as_const(m_companions)) {
        if (!c || c->isVisible() || c->isUnloading()) continue;
        PlayerForm* form = c;
        runtime::skipOnError([&] { form->Show(); });
        if (c && c->isVisible()) runtime::skipOnError([&] { platform::windows().makeTopmost(c); });
    }
}

void ScreenCover::update() {
    QScreen* primary = QGuiApplication::primaryScreen();
    // The monitors to cover: every one that shows nothing of the form's (a mirror of the primary
    // monitor already shows the form).
    QList<QScreen*> wanted;
    for (QScreen* s : QGuiApplication::screens()) {
        connect(s, &QScreen::geometryChanged, this, &ScreenCover::update, Qt::UniqueConnection);
        if (primary && s != primary && !s->geometry().intersects(primary->geometry())) wanted << s;
    }
    if (m_use != MonitorUse::Primary) return updateCompanions(wanted);
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        ScreenCoverWindow* w = *it;
        if (!w->coveredScreen() || !wanted.contains(w->coveredScreen())) {
            delete w;
            it = m_windows.erase(it);
        } else {
            wanted.removeOne(w->coveredScreen());
            w->followScreen();
            ++it;
        }
    }
    for (QScreen* s : wanted) m_windows << new ScreenCoverWindow(m_form, s);
    if (!m_formShown) return;
    for (ScreenCoverWindow* w : std::as_const(m_windows)) {
        if (!w->isVisible()) {
            w->showFullScreen();
            runtime::skipOnError([&] { platform::windows().makeTopmost(w); });
        }
    }
    if (!m_windows.isEmpty()) m_topmost.start();
}

bool ScreenCover::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_form) {
        if (event->type() == QEvent::Show) {
            m_formShown = true;
            update();
        } else if (event->type() == QEvent::Hide) {
            m_formShown = false;
            m_topmost.stop();
            for (ScreenCoverWindow* w : std::as_const(m_windows)) w->hide();
            // The run ends with the form: its companions go first, so the program ends with it.
            const QList<QPointer<PlayerForm>> companions = m_companions;
            m_companions.clear();
            for (const QPointer<PlayerForm>& c : companions) {
                if (!c) continue;
                c->release();
                if (c->isLoaded()) runtime::skipOnError([&] { c->Unload(); });
                else delete c.data();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

ScreenCover* coverOtherScreens(PlayerForm* form, MonitorUse use) {
    if (!form) return nullptr;
    if (auto* existing = form->findChild<ScreenCover*>(QString(), Qt::FindDirectChildrenOnly)) return existing;
    if (use == MonitorUse::Each && form->singleFileMode) use = MonitorUse::Same;
    if (use != MonitorUse::Primary) form->setMonitorUse(use);
    return new ScreenCover(form, use);
}

} // namespace playback
