#include "about/frmCredits.h"

#include "about/AboutLook.h"
#include "about/WebSite.h"
#include "runtime/Controls.h"
#include "runtime/FormRegistry.h"
#include "runtime/Twips.h"
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

using runtime::twipsToPixels;

namespace {

constexpr int kFormWidth = 5400;

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

// A line of text across the form, centred.
QLabel* centredLine(QLabel* label, const char* name, int top, int height) {
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(twipsRect(120, top, kFormWidth - 240, height));
    return label;
}

} // namespace

frmCredits::frmCredits() : BoxedForm(QStringLiteral("frmCredits")) {
    setWindowTitle(QStringLiteral("About Lumora"));
    // Fixed, so that tiling compositors float it at its own size.
    setFixedSize(twipsToPixels(kFormWidth), twipsToPixels(4620));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twipsRect((kFormWidth - 3750) / 2, 300, 3750, 2250));
    Image1->setPixmap(about::splashPicture().scaled(Image1->size(), Qt::KeepAspectRatio,
                                                              Qt::SmoothTransformation));

    lblProductName = centredLine(new QLabel(this), "lblProductName", 2610, 480);
    QFont big = lblProductName->font();
    big.setPointSize(16);
    big.setBold(true);
    lblProductName->setFont(big);
    lblVersion = centredLine(new QLabel(this), "lblVersion", 3090, 270);
    lblCompany = centredLine(new QLabel(this), "lblCompany", 3360, 270);
    lblWebAddress = new runtime::ClickLabel(QString(), this);
    centredLine(lblWebAddress, "lblWebAddress", 3630, 270);
    about::lookLikeLink(lblWebAddress);

    Command1 = new QPushButton(QStringLiteral("&OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect((kFormWidth - 1200) / 2, 4020, 1200, 405));
    // No dialog to make it the default button: Enter on it clicks it all the same.
    Command1->setAutoDefault(true);

    Label2 = new runtime::ClickLabel(QStringLiteral("X "), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setToolTip(QStringLiteral("Cancel/Close"));
    Label2->setGeometry(twipsRect(kFormWidth - 390, 60, 300, 300));
    about::lookLikeCloseBox(Label2);

    connect(lblWebAddress, &runtime::ClickLabel::clicked, this, &frmCredits::lblWebAddress_Click);
    connect(Command1, &QPushButton::clicked, this, &frmCredits::Command1_Click);
    connect(Label2, &runtime::ClickLabel::clicked, this, &frmCredits::Label2_Click);
}

void frmCredits::Form_Load() {
    centreOnScreen();
    lblProductName->setText(QStringLiteral("Lumora"));
    lblVersion->setText(about::versionText());
    lblCompany->setText(makerName());
    lblWebAddress->setText(makerWebAddress());
}

void frmCredits::lblWebAddress_Click() {
    Unload();
    runtime::forms().show(QStringLiteral("frmURLACTION"));
}

void frmCredits::Command1_Click() {
    backToConfiguration();
}

void frmCredits::Label2_Click() {
    backToConfiguration();
}

void frmCredits::backToConfiguration() {
    if (isShrinking()) return;
    CloseWithShrink();
    runtime::forms().show(QStringLiteral("frmConfigure"));
}

