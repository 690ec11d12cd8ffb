#include "shell/frmAbout640x480.h"

#include "about/AboutLook.h"

#include <QEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QRadialGradient>
#include "runtime/FormRegistry.h"
#include "runtime/Twips.h"

using runtime::twipsToPixels;

frmAbout640x480::frmAbout640x480() : Form(QStringLiteral("frmAbout640x480")) {
    setWindowFlags(Qt::FramelessWindowHint | Qt::Window);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(pal);
    resize(twipsToPixels(7590), twipsToPixels(4905));

    picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setGeometry(3, 3, 500, 300);
    picture->setPixmap(about::splashPicture());
    picture->installEventFilter(this);

    QFont big(QStringLiteral("Arial"), 30, QFont::Bold);
    lblVideo = new QLabel(QStringLiteral("Video"), this);
    lblVideo->setObjectName(QStringLiteral("lblVideo"));
    lblVideo->setFont(big);
    lblVideo->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    lblVideo->setGeometry(40, 180, 200, 50);

    lblScreensaver = new QLabel(QStringLiteral("Screensaver"), this);
    lblScreensaver->setObjectName(QStringLiteral("lblScreensaver"));
    lblScreensaver->setFont(big);
    lblScreensaver->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    lblScreensaver->setGeometry(40, 228, 300, 50);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setFont(QFont(QStringLiteral("Arial"), 9));
    lblVersion->setGeometry(8, 305, 300, 18);

    tmrUnloadMe = new QTimer(this);
    tmrUnloadMe->setObjectName(QStringLiteral("tmrUnloadMe"));
    tmrUnloadMe->setInterval(4000);

    connect(tmrUnloadMe, &QTimer::timeout, this, &frmAbout640x480::tmrUnloadMe_Timer);
}

void frmAbout640x480::Form_Load() {
    centreOnScreen();
    lblVersion->setText(about::versionText());
    tmrUnloadMe->start();
}

void frmAbout640x480::tmrUnloadMe_Timer() {
    if (isShrinking()) return;
    tmrUnloadMe->stop();
    CloseWithShrink();
}

void frmAbout640x480::picture_Click() {
    if (isShrinking()) return;
    CloseWithShrink();
}

bool frmAbout640x480::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picture && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && picture->rect().contains(me->position().toPoint())) picture_Click();
        return true;
    }
    return Form::eventFilter(watched, event);
}

void frmAbout640x480::Form_Unload() {
    tmrUnloadMe->stop();
    runtime::forms().show(QStringLiteral("frmConfigure"));
}
