#include "shell/frmMixer.h"

#include "platform/Platform.h"
#include "runtime/Controls.h"
#include "base/Convert.h"
#include "base/Guard.h"
#include "platform/Settings.h"
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kInformation = 64;
} // namespace

frmMixer::frmMixer() : MenuDialog(QStringLiteral("frmMixer"), QStringLiteral("Sound Control")) {
    mnuClose = named(mnuFile->addAction(QStringLiteral("&Close")), "mnuClose");

    fraVolume = named(new QGroupBox(QStringLiteral("Volume Control")), "fraVolume");
    chkVolMute = named(new QCheckBox(QStringLiteral("Check to Mute the screensaver's sound.")), "chkVolMute");
    auto* volume = new QVBoxLayout(fraVolume);
    volume->addWidget(chkVolMute);

    auto* buttons = okCancelButtons(QStringLiteral("&Ok"), "Command1", Command1, "Command2", Command2);
    Label3 = buttonLabel(QStringLiteral("Help"), "Label3");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label3);
    bottom->addStretch(1);
    bottom->addWidget(buttons);

    auto* root = new QVBoxLayout(this);
    root->setMenuBar(menuBar);
    root->addWidget(fraVolume);
    root->addStretch(1);
    root->addLayout(bottom);
    fixClientSize(root, 6645, 2895);

    connect(Command1, &QPushButton::clicked, this, &frmMixer::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmMixer::Command2_Click);
    connect(Label1, &runtime::ClickLabel::clicked, this, &frmMixer::Label1_Click);
    connect(Label3, &runtime::ClickLabel::clicked, this, &frmMixer::Label3_Click);
    connect(mnuClose, &QAction::triggered, this, &frmMixer::mnuClose_Click);
}

QString frmMixer::helpText() {
    // What a Linux desktop offers: the volume applet of its panel, or the sound settings.
    return QStringLiteral("The screensaver's volume is controlled by the desktop's volume control, which is "
                          "usually located in the panel.  In order to change the volume, click the small "
                          "speaker icon in the panel one time to display the volume control.(The panel is the "
                          "bar along an edge of the screen that holds the clock; without one, use the sound "
                          "settings of your desktop.)");
}

void frmMixer::Form_Load() {
    // A stored value that is no number, or too large a one, is passed over: the box stays unchecked.
    // Only 0 and 1 mean anything; other numbers leave it as it is.
    runtime::skipOnError([this] {
        const int16_t mute = settings::read(settings::Key::ScreensaverSoundMutePreference);
        if (mute == 0)
            chkVolMute->setChecked(false);
        else if (mute == 1)
            chkVolMute->setChecked(true);
    });
    runtime::skipOnError([this] { centreOnScreen(); });
}

void frmMixer::saveAndClose() {
    if (isShrinking()) return;
    if (saveSettings([this] {
            settings::save(settings::Key::ScreensaverSoundMutePreference, chkVolMute->isChecked() ? 1 : 0);
        }))
        closeWithShrink();
}

void frmMixer::Command1_Click() {
    saveAndClose();
}

void frmMixer::mnuClose_Click() {
    saveAndClose();
}

void frmMixer::Command2_Click() {
    closeWithShrink();
}

void frmMixer::Label1_Click() {
    closeWithShrink();
}

void frmMixer::Label3_Click() {
    if (isShrinking()) return;
    platform::dialogs().messageBox(helpText(), kInformation, QStringLiteral("Sound Control Tip"));
}
