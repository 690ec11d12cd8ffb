#include "about/frmURLACTION.h"

#include "about/AboutLook.h"
#include "about/WebAddress.h"
#include "about/WebSite.h"
#include "platform/Platform.h"
#include "runtime/Controls.h"
#include "runtime/FormRegistry.h"
#include "runtime/Twips.h"
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QTimer>

using runtime::twipsToPixels;

namespace {

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

} // namespace

frmURLACTION::frmURLACTION() : BoxedForm(QStringLiteral("frmURLACTION")) {
    setWindowTitle(QStringLiteral("Lumora - Visit Our Website"));
    // Fixed, so that tiling compositors float it at its own size.
    setFixedSize(twipsToPixels(6600), twipsToPixels(3000));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twipsRect(180, 240, 720, 720));
    Image1->setPixmap(globePicture());

    Label1 =
        new QLabel(QStringLiteral("Log on to your Internet Service Provider before clicking on the link or "
                                  "button below, in order to go directly to our web site."),
                   this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setGeometry(twipsRect(1080, 180, 5040, 960));

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twipsRect(180, 1260, 6240, 330));

    // Plain text: whatever is typed into the box is shown as typed, never as markup.
    lblLink = new runtime::ClickLabel(QString(), this);
    lblLink->setObjectName(QStringLiteral("lblLink"));
    lblLink->setTextFormat(Qt::PlainText);
    lblLink->setGeometry(twipsRect(180, 1680, 6240, 300));

    Command1 = new QPushButton(QStringLiteral("Click here to go to our web site"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(1500, 2160, 3600, 495));

    Label2 = new runtime::ClickLabel(QStringLiteral("X "), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setToolTip(QStringLiteral("Cancel/Close"));
    Label2->setGeometry(twipsRect(6600 - 390, 60, 300, 300));
    about::lookLikeCloseBox(Label2);

    connect(Text1, &QLineEdit::textChanged, this, &frmURLACTION::Text1_Change);
    Text1->installEventFilter(this); // Text1_GotFocus, Text1_KeyPress
    connect(Command1, &QPushButton::clicked, this, &frmURLACTION::Command1_Click);
    connect(lblLink, &runtime::ClickLabel::clicked, this, &frmURLACTION::lblLink_Click);
    connect(Label2, &runtime::ClickLabel::clicked, this, &frmURLACTION::Label2_Click);
}

QPixmap frmURLACTION::globePicture() {
    const int size = 48;
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size / 2.0, size / 2.0);
    const double r = size / 2.0 - 2;
    QRadialGradient sea(centre - QPointF(r / 3, r / 3), r * 1.6);
    sea.setColorAt(0.0, QColor(150, 210, 255));
    sea.setColorAt(1.0, QColor(20, 70, 170));
    p.setBrush(sea);
    p.setPen(QPen(QColor(10, 40, 110), 1.5));
    p.drawEllipse(centre, r, r);
    // Meridians and parallels, clipped to the globe.
    QPainterPath globe;
    globe.addEllipse(centre, r, r);
    p.setClipPath(globe);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.0));
    for (double w : {r * 0.35, r * 0.75})
        p.drawEllipse(centre, w, r);
    p.drawLine(QPointF(centre.x(), 0), QPointF(centre.x(), size));
    for (double dy : {-r * 0.5, 0.0, r * 0.5})
        p.drawLine(QPointF(0, centre.y() + dy), QPointF(size, centre.y() + dy));
    return pm;
}

void frmURLACTION::Form_Load() {
    centreOnScreen();
    Text1->setText(makerWebAddress());
    about::lookLikeLink(lblLink);
}

void frmURLACTION::Text1_Change() {
    lblLink->setText(Text1->text());
}

void frmURLACTION::Text1_GotFocus() {
    Text1->setSelection(0, Text1->text().length());
}

void frmURLACTION::Text1_KeyPress(int& keyAscii) {
    if (keyAscii == 13) {
        HyperJump(Text1->text());
        keyAscii = 0;
    }
}

void frmURLACTION::Command1_Click() {
    HyperJump(Text1->text());
    Unload();
}

void frmURLACTION::lblLink_Click() {
    HyperJump(lblLink->text());
    Unload();
}

void frmURLACTION::Label2_Click() {
    if (isShrinking()) return;
    CloseWithShrink();
    runtime::forms().show(QStringLiteral("frmConfigure"));
}

void frmURLACTION::Form_Terminate() {
    // The next showing makes a new form.
    runtime::forms().forget(this);
}

bool frmURLACTION::HyperJump(const QString& url) {
    const std::optional<QUrl> address = webAddressToOpen(url);
    return address && platform::desktop().openUrl(*address);
}

bool frmURLACTION::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::FocusIn) {
        Text1_GotFocus();
        // A click goes on to place the cursor, which would undo the selection: select again after it.
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason)
            QTimer::singleShot(0, Text1, [this] { Text1_GotFocus(); });
    } else if (watched == Text1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        int keyAscii = 0;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            keyAscii = 13;
        else if (key->text().size() == 1)
            keyAscii = key->text().at(0).unicode();
        if (keyAscii == 0) return false;
        Text1_KeyPress(keyAscii);
        // A used-up key reaches neither the box nor the window.
        return keyAscii == 0;
    }
    return Form::eventFilter(watched, event);
}

