#include "shell/frmAbout640x480.h"

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
    picture->setPixmap(splashPicture());
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

QString frmAbout640x480::versionText() {
    return QStringLiteral("Version %1.%2.%3").arg(LUMORA_VERSION_MAJOR).arg(LUMORA_VERSION_MINOR).arg(LUMORA_VERSION_PATCH);
}

QPixmap frmAbout640x480::splashPicture() {
    QPixmap pm(500, 300);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 500, 300);
    sky.setColorAt(0.0, QColor(12, 18, 64));
    sky.setColorAt(0.55, QColor(70, 30, 120));
    sky.setColorAt(1.0, QColor(220, 90, 60));
    p.fillRect(pm.rect(), sky);
    QRadialGradient glow(380, 95, 140);
    glow.setColorAt(0.0, QColor(255, 235, 160, 230));
    glow.setColorAt(0.3, QColor(255, 190, 90, 120));
    glow.setColorAt(1.0, QColor(255, 160, 60, 0));
    p.setBrush(glow);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(380, 95), 140, 140);
    // A strip of film frames across the top.
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawRect(0, 20, 500, 70);
    p.setBrush(QColor(255, 255, 255, 180));
    for (int x = 6; x < 500; x += 24) {
        p.drawRect(x, 25, 12, 8);
        p.drawRect(x, 77, 12, 8);
    }
    p.setBrush(QColor(255, 255, 255, 40));
    for (int x = 10; x < 500; x += 96) p.drawRoundedRect(x, 38, 84, 36, 4, 4);
    p.setPen(QColor(255, 255, 255, 210));
    p.setFont(QFont(QStringLiteral("Arial"), 14, QFont::Bold));
    p.drawText(QRect(40, 140, 420, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Lumora"));
    return pm;
}

void frmAbout640x480::Form_Load() {
    centreOnScreen();
    lblVersion->setText(versionText());
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
