#include "shell/ControlForm.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include "base/Convert.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "runtime/Twips.h"
#include "platform/Settings.h"
#include "shell/VIDEOSCR.h"

using namespace runtime;

namespace VIDEOSCR {

bool PreviewActive = false;
platform::WindowRect PreviewClientRect;
QPointer<PreviewWindowProc> PreviewHook;

PreviewWindowProc::PreviewWindowProc(QWidget* picture, QWidget* form)
    : QObject(picture), m_picture(picture), m_form(form) {}

bool PreviewWindowProc::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_picture || event->type() != QEvent::Close) return false;
    // Refused, so the picture is not destroyed; Timer1 closes the form at its next tick.
    event->ignore();
    skipOnError([&] {
        if (platform::PreviewHost* host = platform::current().preview) host->giveBack(m_picture, m_form);
    });
    PreviewActive = false;
    return true;
}

void HookPreviewPicture(QWidget* window) {
    if (!window) throw RuntimeError(ErrorKind::InvalidValue, QStringLiteral("Invalid window"));
    UnhookPreviewPicture(window);
    PreviewHook = new PreviewWindowProc(window, window->parentWidget());
    window->installEventFilter(PreviewHook);
}

void UnhookPreviewPicture(QWidget* window) {
    if (!PreviewHook) return;
    if (window) window->removeEventFilter(PreviewHook);
    delete PreviewHook.data();
    PreviewHook = nullptr;
}

} // namespace VIDEOSCR

PreviewPicture::PreviewPicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewPicture::setPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void PreviewPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (m_picture.isNull()) return;
    if (width() >= m_picture.width() && height() >= m_picture.height()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), m_picture);
    } else {
        p.drawImage(0, 0, m_picture);
    }
}

ControlForm::ControlForm() : Form(QStringLiteral("ControlForm")) {
    setWindowTitle(QStringLiteral("Video Screen Saver"));

    Picture1 = new PreviewPicture(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(0, 0, twipsToPixels(2280), twipsToPixels(1680));
    Picture1->setPicture(previewPicture());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(400);

    connect(Timer1, &QTimer::timeout, this, &ControlForm::Timer1_Timer);
}

QImage ControlForm::previewPicture() {
    const QString path = GetWindows() + QStringLiteral("/preview.png");
    QImage picture;
    if (QFileInfo(path).isFile()) picture.load(path);
    if (picture.isNull()) return drawnPreviewPicture();
    return picture.convertToFormat(QImage::Format_RGB32);
}

QImage ControlForm::drawnPreviewPicture() {
    QImage picture(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    QPainter p(&picture);
    QLinearGradient sky(0, 0, kPictureWidth, kPictureHeight);
    sky.setColorAt(0.0, QColor(0x1b, 0x2a, 0x6b));
    sky.setColorAt(0.5, QColor(0x2a, 0x9d, 0x8f));
    sky.setColorAt(1.0, QColor(0x7b, 0x4f, 0xa0));
    p.fillRect(picture.rect(), sky);
    // A film frame, so the preview reads as a video screen saver.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 140));
    p.drawRect(0, 8, kPictureWidth, 18);
    p.drawRect(0, kPictureHeight - 26, kPictureWidth, 18);
    p.setBrush(QColor(255, 255, 255, 200));
    for (int x = 8; x + 8 <= kPictureWidth; x += 16) {
        p.drawRect(x, 13, 8, 8);
        p.drawRect(x, kPictureHeight - 21, 8, 8);
    }
    return picture;
}

static platform::PreviewHost& previewHost() {
    if (!platform::current().preview)
        throw RuntimeError(ErrorKind::Failed, QStringLiteral("no preview host on this desktop"));
    return platform::preview();
}

void ControlForm::Form_Load() {
    using namespace VIDEOSCR;
    Timer1->start();
    // Each step is tried on its own; Timer1 watches the host whatever failed.
    skipOnError([] { TwipsPerPixelX = toInt16(twipsPerPixelX()); });
    skipOnError([] { TwipsPerPixelY = toInt16(twipsPerPixelY()); });
    skipOnError([&] { Picture1->setVisible(true); });
    skipOnError([&] { HookPreviewPicture(Picture1); });
    skipOnError([] { PreviewClientRect = previewHost().clientRect(PreviewHostWindow); });
    skipOnError([&] {
        const int32_t w =
            toInt32(double(int64_t(PreviewClientRect.right) - PreviewClientRect.left) * TwipsPerPixelX);
        const int32_t h =
            toInt32(double(int64_t(PreviewClientRect.bottom) - PreviewClientRect.top) * TwipsPerPixelY);
        if (w < 0 || h < 0)
            throw RuntimeError(ErrorKind::InvalidValue, QStringLiteral("Invalid property value"));
        Picture1->setGeometry(0, 0, twipsToPixels(w), twipsToPixels(h));
    });
    skipOnError([&] { previewHost().embed(Picture1, PreviewHostWindow); });
    PreviewActive = true;
}

void ControlForm::Timer1_Timer() {
    using namespace VIDEOSCR;
    bool hostThere = false;
    skipOnError([&] { hostThere = previewHost().isWindow(PreviewHostWindow); });
    if (!hostThere || !PreviewActive) Unload();
}

void ControlForm::Form_Unload() {
    Timer1->stop();
    // The picture goes back to the form before the form goes; one more try on an error, and the form
    // closes either way.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool done = skipOnError([&] {
            VIDEOSCR::UnhookPreviewPicture(Picture1);
            previewHost().giveBack(Picture1, this);
        });
        if (done) break;
    }
}
