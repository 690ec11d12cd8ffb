#include "runtime/Form.h"
#include "runtime/FormRegistry.h"
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVector>
#include <cstdlib>
#include <gtest/gtest.h>

using runtime::Form;
using runtime::forms;

namespace {

// A form that counts its lifecycle and may refuse to be unloaded.
class ProbeForm : public Form {
public:
    explicit ProbeForm(const QString& name = QStringLiteral("ProbeForm")) : Form(name) { resize(200, 150); }
    bool allowUnload = true;
    int loads = 0, queries = 0, unloads = 0, terminates = 0;
    std::function<void()> onLoad;

protected:
    void Form_Load() override {
        ++loads;
        if (onLoad) onLoad();
    }
    bool Form_QueryUnload() override {
        ++queries;
        return allowUnload;
    }
    void Form_Unload() override { ++unloads; }
    void Form_Terminate() override { ++terminates; }
};

QSize screenSize() {
    return QGuiApplication::primaryScreen()->geometry().size();
}

// Lets released forms go.
void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class FormTest : public ::testing::Test {
protected:
    void TearDown() override {
        forms().reset();
        forms().unregisterForm(QStringLiteral("ProbeForm"));
        flushDeletes();
    }
};

} // namespace

TEST_F(FormTest, RegistryCreatesOnFirstUseAndForgetsOnUnload) {
    int created = 0;
    forms().registerForm(QStringLiteral("ProbeForm"), [&] {
        ++created;
        return new ProbeForm;
    });
    const int before = forms().loadedCount();

    EXPECT_EQ(forms().find(QStringLiteral("ProbeForm")), nullptr);
    EXPECT_EQ(created, 0) << "find() must not create the form";

    Form* f = forms().get(QStringLiteral("ProbeForm"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(created, 1);
    EXPECT_FALSE(f->isLoaded()) << "get() creates without loading";
    EXPECT_EQ(forms().loadedCount(), before);
    EXPECT_EQ(forms().get(QStringLiteral("ProbeForm")), f);
    EXPECT_EQ(forms().find(QStringLiteral("ProbeForm")), f);
    EXPECT_EQ(created, 1);

    f->Load();
    f->Load(); // a second load is no new load
    EXPECT_EQ(static_cast<ProbeForm*>(f)->loads, 1);
    EXPECT_EQ(forms().loadedCount(), before + 1);
    EXPECT_TRUE(forms().loadedNames().contains(QStringLiteral("ProbeForm")));
    EXPECT_FALSE(f->isVisible()) << "loading does not show";

    QPointer<Form> old(f);
    EXPECT_TRUE(f->Unload());
    EXPECT_EQ(forms().find(QStringLiteral("ProbeForm")), nullptr);
    EXPECT_EQ(forms().loadedCount(), before);
    flushDeletes();
    EXPECT_TRUE(old.isNull()) << "an unloaded form is released";

    Form* again = forms().show(QStringLiteral("ProbeForm"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(created, 2) << "a later use gives a fresh form";
    EXPECT_TRUE(again->isLoaded());
    EXPECT_TRUE(again->isVisible());
    EXPECT_EQ(static_cast<ProbeForm*>(again)->loads, 1);

    // Names nobody registered give nothing and do not disturb the count.
    EXPECT_EQ(forms().get(QStringLiteral("NoSuchForm")), nullptr);
    EXPECT_EQ(forms().load(QStringLiteral("NoSuchForm")), nullptr);
    EXPECT_EQ(forms().show(QStringLiteral("NoSuchForm")), nullptr);
    EXPECT_EQ(forms().loadedCount(), before + 1);
}

TEST_F(FormTest, AFormThatUnloadsItselfWhileLoadingIsNotShown) {
    forms().registerForm(QStringLiteral("ProbeForm"), [] {
        auto* f = new ProbeForm;
        f->onLoad = [f] { f->Unload(); };
        return f;
    });
    const int before = forms().loadedCount();
    EXPECT_EQ(forms().show(QStringLiteral("ProbeForm")), nullptr);
    EXPECT_EQ(forms().loadedCount(), before);
    EXPECT_EQ(forms().find(QStringLiteral("ProbeForm")), nullptr);
}

TEST_F(FormTest, RefusedUnloadKeepsTheForm) {
    auto* f = new ProbeForm;
    f->allowUnload = false;
    f->Show();
    ASSERT_TRUE(f->isVisible());

    EXPECT_FALSE(f->Unload());
    EXPECT_TRUE(f->isLoaded());
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(f->unloads, 0);

    // The window system's close asks the form the same question.
    EXPECT_FALSE(f->close());
    EXPECT_TRUE(f->isLoaded());
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(f->queries, 2);

    f->allowUnload = true;
    QPointer<ProbeForm> p(f);
    EXPECT_TRUE(f->close());
    ASSERT_TRUE(p);
    EXPECT_FALSE(f->isLoaded());
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->unloads, 1);
    EXPECT_EQ(f->terminates, 1);
    EXPECT_TRUE(f->Unload()) << "unloading an unloaded form is harmless";
    EXPECT_EQ(f->unloads, 1);
    flushDeletes();
    EXPECT_TRUE(p.isNull());
}

TEST_F(FormTest, ShowModalReturnsWhenTheFormIsUnloaded) {
    auto* f = new ProbeForm;
    QPointer<ProbeForm> p(f);
    bool wasVisibleAndModal = false;
    QTimer::singleShot(0, [&] {
        wasVisibleAndModal = p && p->isVisible() && p->isModal();
        p->Unload();
    });
    f->ShowModal();
    EXPECT_TRUE(wasVisibleAndModal);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->isLoaded());
}

TEST_F(FormTest, CentresOnTheScreen) {
    const QSize screen = screenSize();
    // Even and odd leftovers, a form as large as the screen, and one larger than it.
    const QVector<QSize> sizes{{506, 327},
                               {101, 99},
                               {200, 150},
                               {screen.width(), screen.height()},
                               {screen.width() + 41, screen.height() + 3}};
    for (const QSize& size : sizes) {
        ProbeForm f;
        f.resize(size);
        f.Show();
        f.centreOnScreen();
        // Half the leftover, truncated towards zero.
        EXPECT_EQ(f.x(), (screen.width() - size.width()) / 2) << size.width() << "x" << size.height();
        EXPECT_EQ(f.y(), (screen.height() - size.height()) / 2) << size.width() << "x" << size.height();
        EXPECT_EQ(f.size(), size) << "centring does not resize";
        f.Unload();
    }
}

TEST_F(FormTest, CloseWithShrinkShrinksAroundTheCentreWhileEventsRunAndCloses) {
    auto* f = new ProbeForm;
    QPointer<ProbeForm> p(f);
    f->resize(300, 200);
    f->Show();
    f->centreOnScreen();
    const QSize screen = screenSize();

    bool singleShotSawShrinking = false;
    QTimer::singleShot(0, [&] { singleShotSawShrinking = p && p->isLoaded() && p->isShrinking(); });
    QVector<int> heights;
    int offCentre = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!p || !p->isLoaded()) return;
        heights << p->height();
        if (heights.size() > 1 && std::abs(p->y() - (screen.height() - p->height()) / 2) > 1) ++offCentre;
    });
    ticker.start();

    f->CloseWithShrink();
    ticker.stop();

    EXPECT_TRUE(singleShotSawShrinking) << "pending events run while the form shrinks";
    ASSERT_GT(heights.size(), 10);
    EXPECT_EQ(heights.front(), 200);
    for (int i = 1; i < heights.size(); ++i)
        ASSERT_LE(heights[i], heights[i - 1]) << "step " << i;
    EXPECT_LE(heights.back(), 4) << "the height phase runs down to nothing";
    EXPECT_EQ(offCentre, 0) << "the top edge follows the shrinking height";

    ASSERT_TRUE(p);
    EXPECT_FALSE(f->isLoaded());
    EXPECT_FALSE(f->isVisible());
    EXPECT_FALSE(f->isShrinking());
    EXPECT_EQ(f->unloads, 1);
}

TEST_F(FormTest, CloseWithShrinkOnAFormThatRefusesLeavesItLoadedAndUsable) {
    auto* f = new ProbeForm;
    f->allowUnload = false;
    f->resize(120, 90);
    f->Show();

    f->CloseWithShrink();
    EXPECT_TRUE(f->isLoaded());
    EXPECT_FALSE(f->isShrinking()) << "a refused close must not leave the animation stuck";
    EXPECT_EQ(f->queries, 1);
    EXPECT_EQ(f->unloads, 0);

    f->allowUnload = true;
    f->resize(120, 90);
    f->CloseWithShrink();
    EXPECT_FALSE(f->isLoaded());
    EXPECT_EQ(f->unloads, 1);
}

TEST_F(FormTest, CloseWithShrinkShrinksAFormOfFixedSize) {
    auto* f = new ProbeForm;
    QPointer<ProbeForm> p(f);
    f->setFixedSize(160, 120);
    f->Show();
    QSize least = f->size();
    int resizes = 0;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (p && p->size() != least) {
            ++resizes;
            least = least.boundedTo(p->size());
        }
    });
    watch.start();
    f->CloseWithShrink();
    watch.stop();
    EXPECT_GT(resizes, 0) << "the fixed size held the form";
    EXPECT_LT(least.height(), 120);
    EXPECT_FALSE(p && p->isLoaded());
}

TEST_F(FormTest, CloseWithShrinkSurvivesBeingUnloadedOrRestartedMidway) {
    // Another part of the program unloads the form while it shrinks.
    {
        auto* f = new ProbeForm;
        QPointer<ProbeForm> p(f);
        f->Show();
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (++ticks == 3 && p) p->Unload();
        });
        ticker.start();
        f->CloseWithShrink();
        ticker.stop();
        ASSERT_TRUE(p);
        EXPECT_FALSE(f->isLoaded());
        EXPECT_EQ(f->unloads, 1);
        EXPECT_EQ(f->queries, 1);
        EXPECT_GE(ticks, 3);
    }
    // A second request to shrink while shrinking does not start a second animation.
    {
        auto* f = new ProbeForm;
        QPointer<ProbeForm> p(f);
        f->Show();
        int restarts = 0;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (p && p->isShrinking() && restarts < 5) {
                ++restarts;
                p->CloseWithShrink();
            }
        });
        ticker.start();
        f->CloseWithShrink();
        ticker.stop();
        ASSERT_TRUE(p);
        EXPECT_EQ(restarts, 5);
        EXPECT_FALSE(f->isLoaded());
        EXPECT_EQ(f->unloads, 1);
        EXPECT_EQ(f->queries, 1);
    }
    // Nothing happens to a form that is not loaded.
    {
        ProbeForm f;
        f.CloseWithShrink();
        EXPECT_EQ(f.queries, 0);
        EXPECT_EQ(f.height(), 150);
    }
}

namespace {

// The last unload asks to quit only once its handler is back in the event loop: a message shown
// after the unload runs its own loop first, and an unload before the loop runs asks nothing.
TEST_F(FormTest, QuitWaitsUntilTheUnloadingHandlerIsBackInTheEventLoop) {
    int quits = 0;
    forms().setQuitAction([&] { ++quits; });
    forms().setQuitWhenEmpty(true);
    struct Restore {
        ~Restore() {
            forms().setQuitWhenEmpty(false);
            forms().setQuitAction({});
        }
    } restore;
    forms().registerForm(QStringLiteral("ProbeForm"), [] { return new ProbeForm; });

    // Before any event loop runs: nothing to quit, main() decides.
    forms().show(QStringLiteral("ProbeForm"));
    forms().find(QStringLiteral("ProbeForm"))->Unload();
    QCoreApplication::processEvents();
    EXPECT_EQ(quits, 0);

    forms().show(QStringLiteral("ProbeForm"));
    QEventLoop outer;
    int quitsDuringMessage = -1;
    QTimer::singleShot(0, &outer, [&] {
        forms().find(QStringLiteral("ProbeForm"))->Unload();
        // A message box after the unload: its loop must run to its end.
        QEventLoop message;
        QTimer::singleShot(100, &message, &QEventLoop::quit);
        message.exec();
        quitsDuringMessage = quits;
    });
    QTimer::singleShot(500, &outer, &QEventLoop::quit);
    QTimer::singleShot(300, &outer, [&] {
        if (quits) outer.quit();
    });
    outer.exec();
    EXPECT_EQ(quitsDuringMessage, 0);
    EXPECT_EQ(quits, 1);

    // A form loaded again before the handler returns keeps the program running.
    forms().show(QStringLiteral("ProbeForm"));
    QEventLoop again;
    QTimer::singleShot(0, &again, [&] {
        forms().find(QStringLiteral("ProbeForm"))->Unload();
        forms().show(QStringLiteral("ProbeForm"));
    });
    QTimer::singleShot(100, &again, &QEventLoop::quit);
    again.exec();
    EXPECT_EQ(quits, 1);

    // Where the process ends at the quit, the last form is left to that end; else it is released.
    for (const bool ends : {true, false}) {
        forms().setEndsAtQuit([ends] { return ends; });
        QPointer<runtime::Form> last = forms().find(QStringLiteral("ProbeForm"));
        QEventLoop end;
        QTimer::singleShot(0, &end, [&] { last->Unload(); });
        QTimer::singleShot(100, &end, &QEventLoop::quit);
        end.exec();
        EXPECT_EQ(quits, ends ? 2 : 3);
        EXPECT_EQ(last.isNull(), !ends);
        delete last.data();
        forms().show(QStringLiteral("ProbeForm"));
    }
    forms().setEndsAtQuit({});
}

} // namespace
