#pragma once

#include <QPixmap>
#include <QString>

class QLabel;
class QPainter;
class QWidget;

namespace about {

// Underlined, blue (&H00FF0000, red in the low byte), with the pointing hand over it.
void lookLikeLink(QLabel* label);
// The "X " label in the top right corner that stands in for the title bar's close button.
void lookLikeCloseBox(QLabel* label);
// The raised border of a window without a title bar.
void paintWindowBorder(QPainter& painter, const QWidget* form);
// "Version major.minor.patch".
QString versionText();
// The 500 x 300 picture of the splash and the credits, drawn rather than shipped.
QPixmap splashPicture();

} // namespace about
