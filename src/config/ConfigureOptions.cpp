// The display-mode, floating, trails and media-source handlers of the configuration dialog: they keep
// only the meaningful choices on offer.
#include "config/frmConfigure.h"
#include "platform/Settings.h"
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {
// A check box as stored: 1 checked, 0 not.
int checkValue(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }
} // namespace

void frmConfigure::optAbsoluteFullScreenVideo_Click() {
    chkGradOn->setChecked(false);
    chkGradOn->setEnabled(false);
    if (optAbsoluteFullScreenVideo->isChecked()) {
        chkFloatingMovie->setEnabled(false);
        chkFloatingMovie->hide();
        chkTrails->setEnabled(false);
        chkTrails->hide();
        hscMovingFrameSpeed->setEnabled(false);
        hscMovingFrameSpeed->hide();
        Label2->hide();
        for (QLineEdit* box : {txtRed, txtBlue, txtGreen})
            box->setEnabled(false);
        if (!chkGradOn->isChecked()) txtFireGradient->setEnabled(false);
    }
    writeSettings([this] { settings::save(settings::Key::GradOn, checkValue(chkGradOn)); }, false);
}

void frmConfigure::partialMode_Click(runtime::OptionButton* option) {
    chkGradOn->setEnabled(true);
    if (option->isChecked()) {
        chkFloatingMovie->show();
        hscMovingFrameSpeed->setEnabled(true);
        hscMovingFrameSpeed->show();
        chkTrails->setEnabled(true);
        Label2->show();
        if (chkFloatingMovie->isChecked()) {
            hscMovingFrameSpeed->setEnabled(true);
            hscMovingFrameSpeed->show();
            chkTrails->show();
            Label2->show();
        } else {
            hscMovingFrameSpeed->setEnabled(false);
            hscMovingFrameSpeed->hide();
            chkTrails->hide();
            Label2->hide();
        }
        chkFloatingMovie->setEnabled(true);
        for (QLineEdit* box : {txtRed, txtBlue, txtGreen})
            box->setEnabled(false);
        if (!chkGradOn->isChecked()) {
            txtFireGradient->setEnabled(false);
            chkTrails->hide();
        }
    }
    writeSettings([this] { settings::save(settings::Key::GradOn, checkValue(chkGradOn)); }, false);
}

void frmConfigure::optThreeQuartersScreen_Click() {
    partialMode_Click(optThreeQuartersScreen);
}
void frmConfigure::optOneHalf_Click() {
    partialMode_Click(optOneHalf);
}
void frmConfigure::optOneFourth_Click() {
    partialMode_Click(optOneFourth);
}
void frmConfigure::optOneEighth_Click() {
    partialMode_Click(optOneEighth);
}
void frmConfigure::optOneSixteenth_Click() {
    partialMode_Click(optOneSixteenth);
}

void frmConfigure::chkFloatingMovie_Click() {
    if (!chkFloatingMovie->isChecked()) {
        chkFloatingMovie->setText(QStringLiteral("Stationary Media. Will restart at random position."));
        hscMovingFrameSpeed->setEnabled(false);
        hscMovingFrameSpeed->hide();
        Label2->hide();
        Label2->setEnabled(false);
        chkTrails->setEnabled(false);
        chkTrails->hide();
        chkTrails->setChecked(false);
    } else {
        chkFloatingMovie->setText(QStringLiteral("Media will float while playing."));
        hscMovingFrameSpeed->setEnabled(true);
        hscMovingFrameSpeed->show();
        Label2->setEnabled(true);
        Label2->show();
        chkGradOn->setEnabled(true);
        if (chkGradOn->isChecked()) {
            chkTrails->setEnabled(true);
            chkTrails->show();
        }
    }
}

void frmConfigure::chkTrails_Click() {
    chkTrails->setText(chkTrails->isChecked() ? QStringLiteral("Picture trails are ON")
                                              : QStringLiteral("Picture trails are OFF"));
}

void frmConfigure::chkGradOn_MouseMove() {
    if (optAbsoluteFullScreenVideo->isChecked()) chkGradOn->setChecked(false);
}

void frmConfigure::optSingleFile_Click() {
    cmdChooseVideo->setEnabled(true);
    cmdChooseVideo->show();
    cmdChooseMultiples->setEnabled(false);
    cmdChooseMultiples->hide();
}

void frmConfigure::optMultipleFiles_Click() {
    cmdChooseMultiples->setEnabled(true);
    cmdChooseMultiples->show();
    cmdChooseVideo->setEnabled(false);
    cmdChooseVideo->hide();
}
