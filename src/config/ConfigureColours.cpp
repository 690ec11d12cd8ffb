// The gradient switch, the colour levels and their boxes, the gradient interval and the back colour.
#include "config/HelpTexts.h"
#include "config/frmConfigure.h"
#include "platform/Platform.h"
#include "base/Convert.h"
#include "runtime/Twips.h"
#include "platform/Settings.h"
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

void frmConfigure::chkGradOn_Click() {
    const QList<QScrollBar*> bars = {HScroll1, hscRed, hscGreen, hscBlue};
    const QList<QWidget*> labels = {Label13, Label1, Label6, Label8, Label9};
    const QList<QLineEdit*> boxes = {txtFireGradient, txtRed, txtGreen, txtBlue};
    if (chkGradOn->isChecked()) {
        chkGradOn->setText(QStringLiteral("Gradient Background Is ON"));
        for (QScrollBar* bar : bars) {
            bar->setEnabled(true);
            bar->show();
        }
        for (QWidget* l : labels)
            l->show();
        for (QLineEdit* box : boxes)
            box->show();
        chkTrails->show();
        chkTrails->setEnabled(true);
    } else {
        chkGradOn->setText(QStringLiteral("Gradient Background Is OFF"));
        for (QLineEdit* box : {txtRed, txtBlue, txtGreen, txtFireGradient})
            box->setEnabled(false);
        for (QScrollBar* bar : bars) {
            bar->setEnabled(false);
            bar->hide();
        }
        for (QWidget* l : labels)
            l->hide();
        for (QLineEdit* box : boxes)
            box->hide();
        chkTrails->hide();
    }
    if (!chkFloatingMovie->isChecked()) chkTrails->hide();
    // One-eighth screen with stationary media has no gradient.
    if (optOneEighth->isChecked() && !chkFloatingMovie->isChecked()) chkGradOn->setChecked(false);
    if (hscMovingFrameSpeed->isHidden()) chkTrails->hide();
}

void frmConfigure::hscRed_Change() {
    txtRed->setText(QString::number(hscRed->value()));
}
void frmConfigure::hscGreen_Change() {
    txtGreen->setText(QString::number(hscGreen->value()));
}
void frmConfigure::hscBlue_Change() {
    txtBlue->setText(QString::number(hscBlue->value()));
}

bool frmConfigure::colourLevel_KeyPress(QLineEdit*, int keyAscii) {
    if (keyAscii == 8 || keyAscii == '.' || (keyAscii >= '0' && keyAscii <= '9')) return true;
    QApplication::beep();
    return false;
}

bool frmConfigure::levelAccepted(const QString& text) {
    bool ok = false;
    const double level = text.toDouble(&ok);
    return ok && level >= 0 && level <= 255;
}

bool frmConfigure::levelsAccepted() {
    // The rule's message may be on its way from a box just left: that one is enough.
    if (m_validating) return false;
    for (QLineEdit* box : {txtRed, txtGreen, txtBlue}) {
        if (box->text().isEmpty()) box->setText(QStringLiteral("0"));
        if (levelAccepted(box->text())) continue;
        // The focus going to the message and back is not a leave of its own.
        m_validating = true;
        platform::dialogs().messageBox(QStringLiteral("Value can be numeric only and must be between 0 and 255"),
                                       64, standardHelpTitle());
        if (box->isVisible() && box->isEnabled()) {
            box->setFocus(Qt::OtherFocusReason);
            box->selectAll();
        }
        QTimer::singleShot(0, this, [this] { m_validating = false; });
        return false;
    }
    return true;
}

void frmConfigure::colourLevel_LostFocus(QLineEdit* box) {
    if (m_validating) return;
    if (box->text().isEmpty()) {
        box->setText(QStringLiteral("0"));
        return;
    }
    if (levelAccepted(box->text())) return;
    // Once per leave: until the focus is back in the box, leaving the other boxes is not checked,
    // or two bad boxes would hand the focus and the message back and forth for ever.
    m_validating = true;
    QPointer<QLineEdit> target(box);
    QTimer::singleShot(0, this, [this, target] {
        platform::dialogs().messageBox(
            QStringLiteral("Value can be numeric only and must be between 0 and 255"), 64,
            standardHelpTitle());
        if (target) {
            target->setFocus(Qt::OtherFocusReason);
            target->selectAll();
        }
        // The focus events of that hand-back arrive before this runs.
        QTimer::singleShot(0, this, [this] { m_validating = false; });
    });
}

void frmConfigure::setFireGradientWidth(int twips) {
    m_fireGradientWidthTwips = twips;
    // Never narrower than its text: "6000" is shown in the narrow box after Restore Defaults. Never
    // wider than the longest text the bar can give either.
    const QFontMetrics metrics = txtFireGradient->fontMetrics();
    const int text = qMin(metrics.horizontalAdvance(txtFireGradient->text()),
                          metrics.horizontalAdvance(QStringLiteral("30000"))) + 10;
    txtFireGradient->setFixedWidth(qMax(runtime::twipsToPixels(twips), text));
}

void frmConfigure::applySecondsDisplay() {
    const int position = HScroll1->value();
    if (position % 1000 != 0 || position < 1000 || position > 30000) return;
    const int seconds = position / 1000;
    txtFireGradient->setText(QString::number(seconds));
    setFireGradientWidth(seconds <= 9 ? 200 : 315);
}

void frmConfigure::HScroll1_Change() {
    txtFireGradient->setText(QString::number(HScroll1->value()));
    applySecondsDisplay();
}

void frmConfigure::mnuBackColorControl_Click() {
    if (!m_colorDialogOpened) {
        m_lastChosenColor =
            static_cast<uint32_t>(settings::readInRange(settings::Key::BackDropColor, 0, 0xFFFFFF));
        m_colorDialogOpened = true;
    }
    // Cancel leaves the dialog's colour as it was, and that colour is written all the same.
    if (const auto chosen = platform::dialogs().chooseColor(m_lastChosenColor)) m_lastChosenColor = *chosen;
    writeSettings(
        [this] { settings::save(settings::Key::BackDropColor, QString::number(m_lastChosenColor)); }, true);
}
