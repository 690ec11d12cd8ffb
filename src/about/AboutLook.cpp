#include "about/AboutLook.h"
#include <QFont>
#include <QRadialGradient>
#include <QLinearGradient>
#include <QPixmap>

#include <QLabel>
#include <QPainter>
#include <qdrawutil.h>

namespace about {

namespace {

QColor fromLowByteRed(unsigned colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

} // namespace

void lookLikeLink(QLabel* label) {
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, fromLowByteRed(0x00FF0000));
    label->setPalette(pal);
    label->setCursor(Qt::PointingHandCursor);
}

void lookLikeCloseBox(QLabel* label) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setCursor(Qt::PointingHandCursor);
}

void paintWindowBorder(QPainter& painter, const QWidget* form) {
    qDrawWinPanel(&painter, form->rect(), form->palette(), false);
}

QString versionText() {
    return QStringLiteral("Version %1.%2.%3").arg(LUMORA_VERSION_MAJOR).arg(LUMORA_VERSION_MINOR).arg(LUMORA_VERSION_PATCH);
}

QPixmap splashPicture() {
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

} // namespace about
