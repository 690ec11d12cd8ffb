#pragma once
#include "about/AboutForms.h"
#include "support/inprocess/InProcessPlatform.h"
#include "runtime/Form.h"
#include "runtime/FormRegistry.h"
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QUrl& u, std::ostream* os) {
    *os << '<' << u.toString().toStdString() << '>';
}

// Records every address a form asks the desktop to open, refused or not, and passes it on.
class RecordingDesktop : public platform::Desktop {
public:
    bool openUrl(const QUrl& url) override {
        asked << url;
        return real->openUrl(url);
    }
    QString desktopFolder() override { return real->desktopFolder(); }
    platform::Desktop* real = nullptr;
    QList<QUrl> asked;
};

// Stands in for the configuration dialog: these forms only need to bring it back.
class ConfigureStandIn : public runtime::Form {
public:
    explicit ConfigureStandIn(int& loads) : Form(QStringLiteral("frmConfigure")), m_loads(loads) {
        resize(300, 200);
    }

protected:
    void Form_Load() override { ++m_loads; }

private:
    int& m_loads;
};

class AboutFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform.install();
        desktop.real = &platform;
        platform::Platform p = platform::current();
        p.desktop = &desktop;
        platform::install(p);
        registerAboutForms();
        runtime::forms().registerForm(kConfigure, [this] { return new ConfigureStandIn(configureLoads); });
    }
    void TearDown() override {
        runtime::forms().reset();
        for (const QString& name : {kConfigure, QStringLiteral("frmURLACTION"), QStringLiteral("frmCredits")})
            runtime::forms().unregisterForm(name);
        flushDeletes();
        platform::install(platform::Platform{});
    }

    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    template <class T> T* show(const QString& name) {
        T* form = qobject_cast<T*>(runtime::forms().show(name));
        if (form) {
            form->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(form));
        }
        return form;
    }
    static bool gone(const QString& name) { return runtime::forms().find(name) == nullptr; }
    static bool configureShown() {
        runtime::Form* f = runtime::forms().find(kConfigure);
        return f && f->isLoaded() && f->isVisible() && f->parentWidget() == nullptr && !f->isModal();
    }
    // The dialog a form leads back to shrinks away first, so give it time.
    static bool waitUntilGone(const QString& name) {
        return QTest::qWaitFor([&] { return gone(name); }, 10000);
    }

    // Centred as the program centres its dialogs: half the rest of the screen, in whole twips.
    static QPoint centredPosition(const QWidget* form) {
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        auto half = [](int rest) { return static_cast<int>(std::lround(rest * 15 / 2 / 15.0)); };
        return {half(screen.width() - form->width()), half(screen.height() - form->height())};
    }
    // The caption fits its label: nothing cut off at the right or the bottom.
    static bool captionFits(const QLabel* label) {
        if (label->wordWrap()) return label->heightForWidth(label->width()) <= label->height();
        return label->sizeHint().width() <= label->width() && label->sizeHint().height() <= label->height();
    }

    static inline const QString kConfigure = QStringLiteral("frmConfigure");
    platform::InProcessPlatform platform;
    RecordingDesktop desktop;
    int configureLoads = 0;
};
