#include "playlist/FilmPictures.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QRectF>
#include <QSizeF>

QPixmap drawnPicture(int width, int height, const std::function<void(QPainter&)>& paint) {
    QPixmap pm(width, height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    paint(p);
    return pm;
}

void drawFilmStrip(QPainter& p, const QRectF& body, const QColor& colour, const QColor& holeColour, int holes,
                   qreal step, const QSizeF& hole) {
    p.setBrush(colour);
    p.drawRoundedRect(body, 3, 3);
    p.setBrush(holeColour);
    for (int i = 0; i < holes; ++i) {
        const qreal x = body.left() + 3 + i * step;
        p.drawRect(QRectF(QPointF(x, body.top() + 2), hole));
        p.drawRect(QRectF(QPointF(x, body.bottom() - 2 - hole.height()), hole));
    }
}

QLinearGradient frameGradient(qreal top, qreal bottom) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, QColor(90, 40, 140));
    g.setColorAt(1, QColor(250, 200, 90));
    return g;
}
