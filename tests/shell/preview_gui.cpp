#include "support/inprocess/InProcessPlatform.h"
#include "runtime/FormRegistry.h"
#include "runtime/Twips.h"
#include "shell/ControlForm.h"
#include "shell/VIDEOSCR.h"
#include "support/Clips.h"
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

using runtime::forms;

namespace {

const QString kControl = QStringLiteral("ControlForm");

// Records the events that get past the preview's hook: filters installed earlier run later.
class EventSpy : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        seen << event->type();
        return false;
    }
    QList<QEvent::Type> seen;
};

class Preview : public ::testing::Test {
protected:
    void SetUp() override {
        platform.install();
        registerProgramForms();
        VIDEOSCR::PreviewActive = false;
        VIDEOSCR::PreviewClientRect = {};
    }
    void TearDown() override {
        forms().reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::install(platform::Platform{});
    }

    ControlForm* form() const { return qobject_cast<ControlForm*>(forms().find(kControl)); }
    QString hostSwitch() const { return QStringLiteral("/p %1").arg(platform.previewHostId); }
    QWidget* host() { return platform.previewHostWidget(); }

    platform::InProcessPlatform platform;
};

// Mean difference per channel of two pictures of one size.
double difference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size()) return 255.0;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

int colourCount(const QImage& image) {
    QSet<QRgb> colours;
    for (int row = 0; row < image.height(); ++row)
        for (int col = 0; col < image.width(); ++col)
            colours.insert(image.pixel(col, row));
    return colours.size();
}

} // namespace

TEST_F(Preview, LoadLendsThePictureToTheHostSizedToItsClientArea) {
    VIDEOSCR::Main(hostSwitch());
    ControlForm* f = form();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->isLoaded());
    EXPECT_FALSE(f->isVisible()) << "the preview form is never shown";
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Video Screen Saver"));
    EXPECT_EQ(forms().loadedNames(), QStringList{kControl});

    // The picture now lives in the host, which is 152 x 112: 2280 x 1680 twips.
    auto* picture = host()->findChild<PreviewPicture*>(QStringLiteral("Picture1"));
    ASSERT_EQ(picture, f->Picture1);
    EXPECT_EQ(picture->parentWidget(), host());
    EXPECT_TRUE(picture->isVisibleTo(host()));
    EXPECT_EQ(picture->pos(), QPoint(0, 0));
    EXPECT_EQ(runtime::pixelsToTwips(picture->width()), 2280);
    EXPECT_EQ(runtime::pixelsToTwips(picture->height()), 1680);
    EXPECT_EQ(picture->picture().size(), QSize(152, 112));
    EXPECT_EQ(VIDEOSCR::PreviewClientRect.right, 152);
    EXPECT_EQ(VIDEOSCR::PreviewClientRect.bottom, 112);
    EXPECT_TRUE(VIDEOSCR::PreviewActive);
    EXPECT_TRUE(VIDEOSCR::PreviewHook);
    EXPECT_EQ(platform.previewCalls, QStringList{QStringLiteral("embed %1").arg(platform.previewHostId)});

    // Timer1 polls every 400 ms and leaves a living host alone.
    EXPECT_EQ(f->Timer1->objectName(), QStringLiteral("Timer1"));
    EXPECT_EQ(f->Timer1->interval(), 400);
    EXPECT_TRUE(f->Timer1->isActive());
    f->Timer1_Timer();
    f->Timer1_Timer();
    EXPECT_EQ(form(), f);
    EXPECT_TRUE(f->isLoaded());
}

TEST_F(Preview, PictureFillsALargerHostAndShowsWhatFitsInASmallerOne) {
    const QImage source = ControlForm::previewPicture();
    ASSERT_EQ(source.size(), QSize(152, 112));

    host()->resize(304, 224);
    VIDEOSCR::Main(hostSwitch());
    ASSERT_NE(form(), nullptr);
    PreviewPicture* picture = form()->Picture1;
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 304, 224));
    EXPECT_EQ(runtime::pixelsToTwips(picture->width()), 4560);
    const QImage large = picture->grab().toImage();
    EXPECT_LT(difference(large, source.scaled(304, 224, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
              4.0);
    forms().reset();

    host()->resize(100, 60);
    VIDEOSCR::Main(hostSwitch());
    ASSERT_NE(form(), nullptr);
    picture = form()->Picture1;
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 100, 60));
    EXPECT_EQ(difference(picture->grab().toImage(), source.copy(0, 0, 100, 60)), 0.0);
}

TEST_F(Preview, CloseRequestKeepsThePictureAndTheNextTickClosesTheForm) {
    ControlForm* f = qobject_cast<ControlForm*>(forms().get(kControl));
    ASSERT_NE(f, nullptr);
    QPointer<PreviewPicture> picture = f->Picture1;
    EventSpy spy;
    picture->installEventFilter(&spy);
    VIDEOSCR::Main(hostSwitch());
    ASSERT_EQ(picture->parentWidget(), host());

    // Other events reach the picture as they were.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(picture, &press);
    EXPECT_TRUE(spy.seen.contains(QEvent::MouseButtonPress));

    // The host's close request is refused: the picture lives on, back in the hidden form.
    QCloseEvent close;
    QCoreApplication::sendEvent(picture, &close);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_FALSE(spy.seen.contains(QEvent::Close)) << "the request does not reach the picture";
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->parentWidget(), f);
    EXPECT_FALSE(VIDEOSCR::PreviewActive);
    EXPECT_EQ(form(), f) << "the form waits for its timer";

    // A close from Qt itself is refused the same way.
    EXPECT_FALSE(picture->close());
    ASSERT_TRUE(picture);

    QPointer<ControlForm> watched = f;
    f->Timer1_Timer();
    EXPECT_EQ(form(), nullptr);
    EXPECT_EQ(forms().loadedCount(), 0);
    EXPECT_FALSE(VIDEOSCR::PreviewHook) << "the hook is removed when the form closes";
    forms().reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(watched);
    EXPECT_FALSE(picture) << "the picture goes with its form";
}

TEST_F(Preview, HostGoneClosesTheFormWithinATick) {
    VIDEOSCR::Main(hostSwitch());
    QPointer<ControlForm> f = form();
    ASSERT_TRUE(f);

    // Tick by tick.
    platform.hostAlive = false;
    f->Timer1_Timer();
    EXPECT_EQ(form(), nullptr);
    EXPECT_EQ(forms().loadedCount(), 0);

    // And on the timer itself: within one interval of the host going.
    platform.hostAlive = true;
    VIDEOSCR::Main(hostSwitch());
    ASSERT_NE(form(), nullptr);
    // While the host lives the form stays: a stretch of time over more than one tick.
    QTest::qWait(150);
    ASSERT_NE(form(), nullptr);
    platform.hostAlive = false;
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form() == nullptr; }, 2000));
    EXPECT_LE(t.elapsed(), 700);
}

TEST_F(Preview, NoHostWindowClosesAtTheFirstTick) {
    for (const QString& args : {QStringLiteral("/P"), QStringLiteral("/p 0"), QStringLiteral("/p junk"),
                                QStringLiteral("/p 4242"), QStringLiteral("/p 0x99999999999")}) {
        SCOPED_TRACE(args.toStdString());
        platform.previewCalls.clear();
        VIDEOSCR::Main(args);
        ControlForm* f = form();
        ASSERT_NE(f, nullptr);
        // Nothing to lend to: the picture stays in the form with no size.
        EXPECT_EQ(f->Picture1->parentWidget(), f);
        EXPECT_EQ(f->Picture1->size(), QSize(0, 0));
        EXPECT_EQ(VIDEOSCR::PreviewClientRect.right, 0);
        EXPECT_EQ(VIDEOSCR::PreviewClientRect.bottom, 0);
        EXPECT_EQ(platform.previewCalls.size(), 1) << "the lending was tried";
        f->Timer1_Timer();
        EXPECT_EQ(form(), nullptr);
        EXPECT_EQ(forms().loadedCount(), 0);
    }
}

TEST_F(Preview, ClosingGivesThePictureBackTryingTwiceAndClosesEitherWay) {
    // One failure: the second try takes the picture back.
    VIDEOSCR::Main(hostSwitch());
    ControlForm* f = form();
    ASSERT_NE(f, nullptr);
    platform.failingGiveBacks = 1;
    platform.previewCalls.clear();
    EXPECT_TRUE(f->Unload());
    EXPECT_EQ(platform.previewCalls, (QStringList{QStringLiteral("giveBack"), QStringLiteral("giveBack")}));
    EXPECT_EQ(f->Picture1->parentWidget(), f);
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_EQ(forms().loadedCount(), 0);
    forms().reset();

    // Two failures: no third try, and the form closes all the same.
    VIDEOSCR::Main(hostSwitch());
    f = form();
    ASSERT_NE(f, nullptr);
    QPointer<PreviewPicture> picture = f->Picture1;
    platform.failingGiveBacks = 2;
    platform.previewCalls.clear();
    EXPECT_TRUE(f->Unload());
    EXPECT_EQ(platform.previewCalls.size(), 2);
    EXPECT_EQ(form(), nullptr);
    EXPECT_EQ(forms().loadedCount(), 0);
    EXPECT_FALSE(VIDEOSCR::PreviewHook);
    QPointer<ControlForm> released = f;
    forms().reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(released);
    ASSERT_TRUE(picture) << "left in the host, the picture outlives the form";
    EXPECT_EQ(picture->parentWidget(), host());
}

TEST_F(Preview, PictureComesFromTheDataFolderOrIsDrawn) {
    const QString data = platform.windowsDirectoryValue;
    const QString file = data + QStringLiteral("/preview.png");

    // Missing: a drawn picture of the right size, not one flat colour.
    const QImage drawn = ControlForm::previewPicture();
    EXPECT_EQ(drawn.size(), QSize(152, 112));
    EXPECT_GT(colourCount(drawn), 50);
    EXPECT_EQ(drawn, ControlForm::drawnPreviewPicture());

    // The project's script takes a frame of a clip: a red clip gives a red picture between the strips.
    const QString clip =
        testsupport::makeClip(testsupport::clipFolder(), QStringLiteral("red.mpg"),
                              testsupport::ClipKind::SolidColour, 4.0, QStringLiteral("red"));
    ASSERT_FALSE(clip.isEmpty());
    QProcess script;
    script.start(QStringLiteral(LUMORA_SOURCE_DIR "/data/make-preview-picture.sh"), {file, clip});
    ASSERT_TRUE(script.waitForFinished(60000));
    ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
    const QImage made(file);
    ASSERT_EQ(made.size(), QSize(152, 112));
    const QImage loaded = ControlForm::previewPicture();
    EXPECT_EQ(difference(loaded, made), 0.0);
    const QRgb middle = loaded.pixel(76, 56);
    EXPECT_GT(qRed(middle), 200);
    EXPECT_LT(qGreen(middle), 40);
    EXPECT_LT(qBlue(loaded.pixel(4, 17)), 60) << "a film strip across the top";
    EXPECT_GT(qBlue(loaded.pixel(12, 17)), 150) << "with light holes in it";

    // The form shows what the folder holds.
    VIDEOSCR::Main(hostSwitch());
    ASSERT_NE(form(), nullptr);
    EXPECT_EQ(difference(form()->Picture1->picture(), made), 0.0);
    forms().reset();

    // An unreadable file gives the drawn picture, never garbage.
    QFile broken(file);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("\x89PNG\r\n\x1a\nnot really");
    broken.close();
    EXPECT_EQ(ControlForm::previewPicture(), ControlForm::drawnPreviewPicture());
}
