#include "ScreenTest.h"

#include "runtime/Form.h"
#include "runtime/FormRegistry.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QThread>

void registerProgramForms();

namespace e2e {

FormLayout::FormLayout(const QStringList& settings) {
    for (const QString& s : settings)
        m_platform.memorySettings()->values[s.section(u'=', 0, 0)] = s.section(u'=', 1);
    install();
}

FormLayout::FormLayout(const QMap<QString, QString>& settings) {
    for (auto it = settings.begin(); it != settings.end(); ++it)
        m_platform.memorySettings()->values[it.key()] = it.value();
    install();
}

void FormLayout::install() {
    m_platform.install();
    registerProgramForms();
}

FormLayout::~FormLayout() {
    runtime::forms().reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::install(platform::Platform{});
}

runtime::Form* FormLayout::shown(const QString& form) {
    runtime::Form* f = runtime::forms().load(form);
    if (!f) return nullptr;
    f->show();
    QCoreApplication::processEvents();
    return f;
}

QPoint FormLayout::centreOf(const QString& form, const QString& control) {
    runtime::Form* f = shown(form);
    auto* w = f ? f->findChild<QWidget*>(control) : nullptr;
    return w ? w->mapTo(f, w->rect().center()) : QPoint();
}

QRect FormLayout::rectOf(const QString& form, const QString& control) {
    runtime::Form* f = shown(form);
    auto* w = f ? f->findChild<QWidget*>(control) : nullptr;
    return w ? QRect(w->mapTo(f, QPoint(0, 0)), w->size()) : QRect();
}

QPoint FormLayout::rowOf(const QString& form, const QString& list, int row) {
    runtime::Form* f = shown(form);
    auto* l = f ? f->findChild<QListWidget*>(list) : nullptr;
    if (!l || !l->item(row)) return {};
    return l->viewport()->mapTo(f, l->visualItemRect(l->item(row)).center());
}

void ScreenTest::SetUp() {
    ASSERT_TRUE(x().ok()) << "no X server at " << x().display().toStdString();
}

QRect ScreenTest::windowNamed(const QString& name) {
    const auto ws = x().mappedWindowsNamed(name);
    return ws.isEmpty() ? QRect() : ws.first().geometry;
}

bool ScreenTest::shown(const QString& name) {
    return !x().mappedWindowsNamed(name).isEmpty();
}

bool ScreenTest::waitShown(const QString& name, int ms) {
    return waitUntil([&] { return shown(name); }, ms) >= 0;
}

bool ScreenTest::waitGone(const QString& name, int ms) {
    return waitUntil([&] { return !shown(name); }, ms) >= 0;
}

bool ScreenTest::settle(int ms) {
    // Unchanged for this long: a program that was going to redraw after an event has done so by
    // then, even on a busy machine.
    constexpr qint64 kStillMs = 150;
    QElapsedTimer total, still;
    total.start();
    still.start();
    QImage last = x().grabScreen();
    while (total.elapsed() < ms) {
        // The step of the sampling.
        QThread::msleep(25);
        QImage now = x().grabScreen();
        if (now != last) {
            last = std::move(now);
            still.restart();
        } else if (still.elapsed() >= kStillMs) {
            return true;
        }
    }
    return false;
}

QRect ScreenTest::waitDrawn(const QString& name, int ms) {
    if (!waitShown(name, ms)) return {};
    settle();
    return windowNamed(name);
}

QRect ScreenTest::openDialog(ProgramRun& run, const QStringList& env) {
    for (const QString& e : env)
        run.setEnvironment(e.section(u'=', 0, 0), e.section(u'=', 1));
    run.start(QStringLiteral("/c"));
    // The splash first: a centred window with a picture.
    const bool splash = waitUntil(
                            [&] {
                                for (const auto& w : x().topWindows())
                                    if (w.mapped && w.geometry.width() > 300 && w.name != kConfigureDialog &&
                                        qAbs(w.geometry.center().x() - 640) <= 1)
                                        return true;
                                return false;
                            },
                            kWindowWaitMs) >= 0;
    EXPECT_TRUE(splash) << "the splash was not seen";
    x().xdotool({"mousemove", "640", "512", "click", "1"});
    const QRect r = waitDrawn(kConfigureDialog, 10000);
    if (!r.isValid()) return r;
    // The pointer rests on the banner, so the keyboard reaches the dialog.
    pointAt(r.center().x(), r.top() + 60);
    return r;
}

void ScreenTest::pointAt(int screenX, int screenY) {
    x().xdotool({"mousemove", QString::number(screenX), QString::number(screenY)});
}

void ScreenTest::pointAt(const QRect& window, const QPoint& p) {
    pointAt(window.x() + p.x(), window.y() + p.y());
}

void ScreenTest::click(const QRect& window, const QPoint& p) {
    pointAt(window, p);
    x().xdotool({"click", "1"});
    settle();
}

void ScreenTest::keys(const QStringList& keys) {
    for (const QString& key : keys) {
        x().xdotool({"key", key});
        settle();
    }
}

void ScreenTest::press(const QString& key) {
    x().xdotool({"key", key});
}

void ScreenTest::keysAt(const QRect& window, const QStringList& k) {
    pointAt(window.center().x(), window.top() + 12);
    keys(k);
}

QStringList ScreenTest::coloursSeen(ProgramRun& run, const QStringList& colours, int count, int ms) {
    QStringList seen;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms && seen.size() < count && run.process().state() == QProcess::Running) {
        const QString c = colourName(x().pixel(640, 512));
        if (colours.contains(c) && (seen.isEmpty() || seen.last() != c)) seen << c;
        // The step of the sampling.
        QThread::msleep(40);
    }
    return seen;
}

QMap<QString, QString> ScreenTest::settings(ProgramRun& run) {
    QMap<QString, QString> values;
    for (const QString& line : run.readSettings().split(u'\n')) {
        const int eq = line.indexOf(u'=');
        if (eq > 0) values[line.left(eq)] = line.mid(eq + 1);
    }
    return values;
}

bool ScreenTest::endsCleanly(ProgramRun& run, int ms) {
    return run.waitForEnd(ms) >= 0 && run.process().exitStatus() == QProcess::NormalExit &&
           run.process().exitCode() == 0;
}

void ScreenTest::shot(const QString& name) {
    x().savePng(QStringLiteral(LUMORA_BINARY_DIR "/e2e-%1.png").arg(name));
}

} // namespace e2e
