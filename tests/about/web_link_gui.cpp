#include "about/AboutFormsFixture.h"
#include "about/WebSite.h"
#include "about/frmURLACTION.h"
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWindow>
#include <functional>

namespace {

const QString kWebLink = QStringLiteral("frmURLACTION");

// Counts the events of one kind that reach an object.
class EventCounter : public QObject {
public:
    EventCounter(QObject* watched, QEvent::Type type) : m_type(type) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == m_type) ++count;
        return false;
    }

private:
    QEvent::Type m_type;
};

class WebLinkForm : public AboutFormsTest {
protected:
    frmURLACTION* showForm() { return show<frmURLACTION>(kWebLink); }
    static QLineEdit* text1(QWidget* f) { return f->findChild<QLineEdit*>(QStringLiteral("Text1")); }
    static QLabel* label(QWidget* f, const char* name) { return f->findChild<QLabel*>(QLatin1String(name)); }
    static QPushButton* command1(QWidget* f) {
        return f->findChild<QPushButton*>(QStringLiteral("Command1"));
    }

    // Replaces the box's text the way a user does: select all, type over it.
    static void typeOver(QLineEdit* box, const QString& text) {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
        ASSERT_EQ(box->text(), text);
    }
};

} // namespace

TEST_F(WebLinkForm, ShowsTheMakersAddressInTheBoxAndAsALink) {
    frmURLACTION* f = showForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->parentWidget(), nullptr);
    EXPECT_FALSE(f->isModal());
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Lumora - Visit Our Website"));
    EXPECT_EQ(f->geometry().topLeft(), centredPosition(f));

    QLabel* label1 = label(f, "Label1");
    ASSERT_NE(label1, nullptr);
    EXPECT_EQ(label1->text(),
              QStringLiteral("Log on to your Internet Service Provider before clicking on the "
                             "link or button below, in order to go directly to our web site."));
    EXPECT_TRUE(captionFits(label1));
    ASSERT_NE(command1(f), nullptr);
    EXPECT_EQ(command1(f)->text(), QStringLiteral("Click here to go to our web site"));
    EXPECT_LE(command1(f)->sizeHint().width(), command1(f)->width());
    QLabel* closeBox = label(f, "Label2");
    ASSERT_NE(closeBox, nullptr);
    EXPECT_EQ(closeBox->text(), QStringLiteral("X "));
    EXPECT_EQ(closeBox->toolTip(), QStringLiteral("Cancel/Close"));
    QLabel* picture = label(f, "Image1");
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());

    ASSERT_NE(text1(f), nullptr);
    EXPECT_EQ(text1(f)->text(), makerWebAddress());
    QLabel* link = label(f, "lblLink");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->text(), makerWebAddress());
    EXPECT_TRUE(captionFits(link));
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(desktop.asked.isEmpty()) << "showing the form opens nothing";
}

TEST_F(WebLinkForm, TheLinkFollowsEveryKeystrokeAndOpensWhatWasTyped) {
    frmURLACTION* f = showForm();
    ASSERT_NE(f, nullptr);
    QLineEdit* box = text1(f);
    QLabel* link = label(f, "lblLink");
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(link->text(), QString());

    // Plain text, shown as typed: markup in the box is no markup in the link.
    const QString typed = QStringLiteral("https://example.org/<b>typed</b>");
    for (int i = 0; i < typed.size(); ++i) {
        QTest::keyClick(box, typed.at(i).toLatin1());
        ASSERT_EQ(link->text(), typed.left(i + 1)) << i;
    }
    EXPECT_EQ(link->textFormat(), Qt::PlainText);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(link->text(), typed.chopped(1));

    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_TRUE(gone(kWebLink)) << "the link unloads the form at once";
    EXPECT_EQ(desktop.asked, QList<QUrl>{QUrl(typed.chopped(1))});
    EXPECT_EQ(platform.openedUrls, desktop.asked);
    EXPECT_EQ(configureLoads, 0) << "the link does not lead back to the configuration dialog";
    EXPECT_EQ(runtime::forms().loadedCount(), 0);
}

TEST_F(WebLinkForm, EnterOpensTheAddressAndLeavesTheFormOpenWithoutACharacter) {
    frmURLACTION* f = showForm();
    ASSERT_NE(f, nullptr);
    QLineEdit* box = text1(f);
    EventCounter keysAtTheForm(f, QEvent::KeyPress);

    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(desktop.asked, (QList<QUrl>{QUrl(makerWebAddress()), QUrl(makerWebAddress())}));
    EXPECT_EQ(box->text(), makerWebAddress());
    EXPECT_EQ(keysAtTheForm.count, 0) << "Enter is used up in the box";
    EXPECT_FALSE(gone(kWebLink));
    EXPECT_TRUE(f->isVisible());

    // Other keys still edit; a bare host name opens as a web address.
    typeOver(box, QStringLiteral("www.example.com"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(desktop.asked.size(), 3);
    EXPECT_EQ(desktop.asked.last(), QUrl(QStringLiteral("http://www.example.com")));
    EXPECT_EQ(label(f, "lblLink")->text(), QStringLiteral("www.example.com"));
    EXPECT_EQ(platform.openedUrls, desktop.asked);
    EXPECT_FALSE(gone(kWebLink));
}

TEST_F(WebLinkForm, FocusingTheBoxSelectsAllItsText) {
    frmURLACTION* f = showForm();
    ASSERT_NE(f, nullptr);
    QLineEdit* box = text1(f);
    typeOver(box, QStringLiteral("https://example.org/focus"));

    command1(f)->setFocus();
    box->deselect();
    box->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(box->hasFocus());
    EXPECT_EQ(box->selectedText(), box->text());

    // A click into the box selects all as well, though the click itself places the cursor.
    command1(f)->setFocus();
    box->deselect();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
    QCoreApplication::processEvents();
    ASSERT_TRUE(box->hasFocus());
    EXPECT_EQ(box->selectedText(), box->text());

    // Once in the box, clicking places the cursor as usual.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
    QCoreApplication::processEvents();
    EXPECT_TRUE(box->selectedText().isEmpty());
}

TEST_F(WebLinkForm, TheCloseBoxShrinksAwayAndReturnsToAFreshConfigurationDialog) {
    // "Visit Our Website" unloads the dialog and shows this form.
    QPointer<runtime::Form> firstDialog = runtime::forms().show(kConfigure);
    ASSERT_NE(firstDialog, nullptr);
    firstDialog->Unload();
    frmURLACTION* f = showForm();
    ASSERT_NE(f, nullptr);
    typeOver(text1(f), QStringLiteral("https://example.org/unsaved"));
    EventCounter resizes(f, QEvent::Resize);

    QTest::mouseClick(label(f, "Label2"), Qt::LeftButton);
    ASSERT_TRUE(waitUntilGone(kWebLink));
    EXPECT_GT(resizes.count, 0) << "the form shrinks before it goes";
    EXPECT_TRUE(configureShown());
    EXPECT_EQ(configureLoads, 2) << "the dialog loads afresh";
    flushDeletes();
    EXPECT_TRUE(firstDialog.isNull());
    EXPECT_EQ(runtime::forms().loadedNames(), QStringList{kConfigure});
    EXPECT_TRUE(desktop.asked.isEmpty()) << "the close box opens nothing";
}

// Esc, and the window manager's close (Alt+F4), leave as the close box does: back to the dialog, never
// out of the program, and with nothing opened.
TEST_F(WebLinkForm, EscAndTheWindowManagersCloseReturnToTheConfigurationDialog) {
    const QList<std::function<void(frmURLACTION*)>> ways = {
        [](frmURLACTION* f) { QTest::keyClick(text1(f), Qt::Key_Escape); },
        [](frmURLACTION* f) {
            command1(f)->setFocus();
            QTest::keyClick(command1(f), Qt::Key_Escape);
        },
        [](frmURLACTION* f) { f->windowHandle()->close(); },
    };
    for (int i = 0; i < ways.size(); ++i) {
        runtime::forms().show(kConfigure);
        runtime::forms().find(kConfigure)->Unload();
        frmURLACTION* f = showForm();
        ASSERT_NE(f, nullptr) << i;
        text1(f)->setFocus();
        ways[i](f);
        ASSERT_TRUE(waitUntilGone(kWebLink)) << i;
        EXPECT_TRUE(configureShown()) << i;
        EXPECT_EQ(configureLoads, 2 * (i + 1)) << i;
        EXPECT_EQ(runtime::forms().loadedNames(), QStringList{kConfigure}) << i;
        runtime::forms().find(kConfigure)->Unload();
        flushDeletes();
    }
    EXPECT_TRUE(desktop.asked.isEmpty());
}

TEST_F(WebLinkForm, TheButtonOpensTheAddressAndEndsWithoutTheDialog) {
    frmURLACTION* f = showForm();
    ASSERT_NE(f, nullptr);
    QTest::mouseClick(command1(f), Qt::LeftButton);
    EXPECT_TRUE(gone(kWebLink)) << "the button unloads the form at once, without shrinking";
    EXPECT_EQ(desktop.asked, QList<QUrl>{QUrl(makerWebAddress())});
    EXPECT_EQ(configureLoads, 0);
    EXPECT_EQ(runtime::forms().loadedCount(), 0);

    // The next showing is a new form: what was typed before is gone.
    flushDeletes();
    f = showForm();
    ASSERT_NE(f, nullptr);
    typeOver(text1(f), QStringLiteral("mailto:someone@example.com"));
    QTest::mouseClick(command1(f), Qt::LeftButton);
    EXPECT_TRUE(gone(kWebLink));
    EXPECT_EQ(desktop.asked.last(), QUrl(QStringLiteral("mailto:someone@example.com")));
    flushDeletes();
    f = showForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text1(f)->text(), makerWebAddress());
    EXPECT_EQ(platform.openedUrls, desktop.asked);
    EXPECT_EQ(configureLoads, 0);
}

TEST_F(WebLinkForm, TextThatIsNoWebAddressOpensNothingByEnterButtonOrLink) {
    for (const QString& text :
         {QStringLiteral("file:///etc/passwd"), QStringLiteral("/bin/sh"), QStringLiteral("javascript:x")}) {
        frmURLACTION* f = showForm();
        ASSERT_NE(f, nullptr);
        typeOver(text1(f), text);
        QTest::keyClick(text1(f), Qt::Key_Return);
        EXPECT_FALSE(gone(kWebLink)) << qPrintable(text);
        EXPECT_EQ(text1(f)->text(), text);
        QTest::mouseClick(command1(f), Qt::LeftButton);
        EXPECT_TRUE(gone(kWebLink)) << "the button unloads the form all the same: " << qPrintable(text);
        flushDeletes();

        f = showForm();
        ASSERT_NE(f, nullptr);
        typeOver(text1(f), text);
        QTest::mouseClick(label(f, "lblLink"), Qt::LeftButton);
        EXPECT_TRUE(gone(kWebLink)) << "the link unloads the form all the same: " << qPrintable(text);
        flushDeletes();
    }
    EXPECT_TRUE(desktop.asked.isEmpty()) << qPrintable(desktop.asked.value(0).toString());
    EXPECT_TRUE(platform.openedUrls.isEmpty());
    EXPECT_EQ(configureLoads, 0);
}
