#include "about/AboutLook.h"
#include "about/AboutFormsFixture.h"
#include "about/WebSite.h"
#include "about/frmCredits.h"
#include "about/frmURLACTION.h"
#include "shell/frmAbout640x480.h"
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>
#include <QRegularExpression>

namespace {

const QString kCredits = QStringLiteral("frmCredits");

class CreditsForm : public AboutFormsTest {
protected:
    frmCredits* showCredits() { return show<frmCredits>(kCredits); }
    static QLabel* label(QWidget* f, const char* name) { return f->findChild<QLabel*>(QLatin1String(name)); }
};

} // namespace

TEST_F(CreditsForm, ShowsTheProgramItsVersionItsMakerAndTheAddress) {
    frmCredits* f = showCredits();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("About Lumora"));
    EXPECT_EQ(f->parentWidget(), nullptr);
    EXPECT_FALSE(f->isModal());
    EXPECT_EQ(f->geometry().topLeft(), centredPosition(f));

    const QList<QPair<const char*, QString>> lines = {{"lblProductName", QStringLiteral("Lumora")},
                                                      {"lblVersion", about::versionText()},
                                                      {"lblCompany", QStringLiteral("Larkspur Software")},
                                                      {"lblWebAddress", makerWebAddress()}};
    for (const auto& [name, text] : lines) {
        QLabel* l = label(f, name);
        ASSERT_NE(l, nullptr) << name;
        EXPECT_EQ(l->text(), text) << name;
        EXPECT_TRUE(l->isVisible()) << name;
        EXPECT_TRUE(captionFits(l)) << name;
        EXPECT_TRUE(f->rect().contains(l->geometry())) << name;
    }
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Version \\d+\\.\\d+\\.\\d+$"))
                    .match(label(f, "lblVersion")->text())
                    .hasMatch());
    EXPECT_TRUE(label(f, "lblWebAddress")->font().underline());
    EXPECT_EQ(label(f, "lblWebAddress")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(label(f, "Label2")->text(), QStringLiteral("X "));
    EXPECT_FALSE(label(f, "Image1")->pixmap().isNull());
    auto* ok = f->findChild<QPushButton*>(QStringLiteral("Command1"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
    EXPECT_TRUE(desktop.asked.isEmpty());
}

TEST_F(CreditsForm, OkEnterTheCloseBoxEscAndTheWindowManagersCloseLeadBackToAFreshConfigurationDialog) {
    const QList<std::function<void(frmCredits*)>> ways = {
        [](frmCredits* f) {
            QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        },
        [](frmCredits* f) {
            auto* ok = f->findChild<QPushButton*>(QStringLiteral("Command1"));
            ok->setFocus();
            QTest::keyClick(ok, Qt::Key_Return);
        },
        [](frmCredits* f) {
            QTest::mouseClick(f->findChild<QLabel*>(QStringLiteral("Label2")), Qt::LeftButton);
        },
        [](frmCredits* f) { QTest::keyClick(f->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::Key_Escape); },
        // The window manager's close (Alt+F4).
        [](frmCredits* f) { f->windowHandle()->close(); },
    };
    for (int i = 0; i < ways.size(); ++i) {
        // "About this program" unloads the dialog and shows the credits.
        runtime::forms().show(kConfigure);
        runtime::forms().find(kConfigure)->Unload();
        frmCredits* f = showCredits();
        ASSERT_NE(f, nullptr) << i;
        ways[i](f);
        ASSERT_TRUE(waitUntilGone(kCredits)) << i;
        EXPECT_TRUE(configureShown()) << i;
        EXPECT_EQ(configureLoads, 2 * (i + 1)) << i;
        EXPECT_EQ(runtime::forms().loadedNames(), QStringList{kConfigure}) << i;
        runtime::forms().find(kConfigure)->Unload();
        flushDeletes();
    }
}

TEST_F(CreditsForm, TheAddressLeadsToTheWebLinkFormAndFromThereBackToTheDialog) {
    frmCredits* f = showCredits();
    ASSERT_NE(f, nullptr);
    QTest::mouseClick(label(f, "lblWebAddress"), Qt::LeftButton);
    EXPECT_TRUE(gone(kCredits));
    auto* web = qobject_cast<frmURLACTION*>(runtime::forms().find(QStringLiteral("frmURLACTION")));
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->isVisible());
    EXPECT_EQ(web->findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), makerWebAddress());
    EXPECT_EQ(configureLoads, 0);
    EXPECT_TRUE(desktop.asked.isEmpty()) << "only the web-link form opens the address";

    QTest::mouseClick(web->findChild<QLabel*>(QStringLiteral("Label2")), Qt::LeftButton);
    ASSERT_TRUE(waitUntilGone(QStringLiteral("frmURLACTION")));
    EXPECT_TRUE(configureShown());
    EXPECT_EQ(configureLoads, 1);
}
