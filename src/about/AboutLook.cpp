#include "about/AboutLook.h"

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

} // namespace about
