#pragma once
#include <QPixmap>
#include <functional>

class QColor;
class QLinearGradient;
class QPainter;
class QRectF;
class QSizeF;

// The small pictures beside the titles of the play-list forms are drawn, not shipped, from a few
// common parts.

// A transparent picture of the given size, painted by `paint` with smooth edges and no outline to
// start with.
QPixmap drawnPicture(int width, int height, const std::function<void(QPainter&)>& paint);

// A strip of film: a dark body with rounded corners, and a row of `holes` sprocket holes along its
// top and bottom edges, the first 3 in from its left, each `step` on from the one before.
void drawFilmStrip(QPainter& p, const QRectF& body, const QColor& colour, const QColor& holeColour, int holes,
                   qreal step, const QSizeF& hole);

// What the film's frames show: purple at `top`, fading to amber at `bottom`.
QLinearGradient frameGradient(qreal top, qreal bottom);
