#include "shell/frmMouseSensitivity.h"

#include "platform/Platform.h"
#include "runtime/Controls.h"
#include "base/Convert.h"
#include "platform/Settings.h"
#include <QAction>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QVBoxLayout>
#include <functional>

namespace {
using settings::Key;
constexpr int kLeastSensitivity = 4;
constexpr int kMostSensitivity = 500;
constexpr int kInformation = 64;
} // namespace

frmMouseSensitivity::frmMouseSensitivity()
    : SaveMenuDialog(QStringLiteral("frmMouseSensitivity"), QStringLiteral("Mouse Sensitivity Control")) {
    fraSensitivity = named(new QGroupBox(QStringLiteral("Mouse Sensitivity")), "fraSensitivity");
    hscMouseSensitivity = named(new runtime::ShowsFocus<QScrollBar>(Qt::Horizontal), "hscMouseSensitivity");
    hscMouseSensitivity->setRange(kLeastSensitivity, kMostSensitivity);
    hscMouseSensitivity->setSingleStep(1);
    hscMouseSensitivity->setPageStep(10);
    hscMouseSensitivity->setValue(kLeastSensitivity);
    // Reached with Tab and moved with the arrows; a scroll bar's keys are inverted by default (made
    // for vertical bars), and Right must make the number larger.
    hscMouseSensitivity->setFocusPolicy(Qt::StrongFocus);
    hscMouseSensitivity->setInvertedControls(false);
    Label2 = named(new QLabel(QStringLiteral("< More Sensitive")), "Label2");
    Label3 = named(new QLabel(QStringLiteral("Less Sensitive >")), "Label3");
    // Takes a typed number as well: one in the bar's range moves the bar, and OK refuses anything else,
    // so what is stored is always a sensitivity the players can use.
    txtMouseSensitivity = named(new QLineEdit(QString::number(kLeastSensitivity)), "txtMouseSensitivity");
    txtMouseSensitivity->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), txtMouseSensitivity));
    txtMouseSensitivity->setAlignment(Qt::AlignCenter);
    txtMouseSensitivity->setFixedWidth(
        txtMouseSensitivity->fontMetrics().horizontalAdvance(QStringLiteral("000000")) +
        txtMouseSensitivity->sizeHint().height());
    auto* sensitivity = new QGridLayout(fraSensitivity);
    sensitivity->addWidget(Label2, 0, 0);
    sensitivity->addWidget(hscMouseSensitivity, 0, 1);
    sensitivity->addWidget(Label3, 0, 2);
    sensitivity->addWidget(txtMouseSensitivity, 1, 1, Qt::AlignHCenter);
    sensitivity->setColumnStretch(1, 1);

    fraIgnore =
        named(new QGroupBox(QStringLiteral("Ignore Mouse Movement In FULL-Screen Mode?")), "fraIgnore");
    optYesIgnoreMouseMovement =
        named(new runtime::OptionButton(QStringLiteral("Yes")), "optYesIgnoreMouseMovement");
    optDoNotIgnoreMouseMovement =
        named(new runtime::OptionButton(QStringLiteral("No")), "optDoNotIgnoreMouseMovement");
    lblIgnoreMouseMovementMessage = named(
        new QLabel(QStringLiteral("Choosing this selection will make it necessary to strike the spacebar or "
                                  "escape key, or click the mouse in order to end the screensaver.")),
        "lblIgnoreMouseMovementMessage");
    lblIgnoreMouseMovementMessage->setWordWrap(true);
    // The message explains "Yes" and shows only with it; its room stays so nothing jumps.
    QSizePolicy keepRoom = lblIgnoreMouseMovementMessage->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    lblIgnoreMouseMovementMessage->setSizePolicy(keepRoom);
    lblIgnoreMouseMovementMessage->setVisible(false);
    auto* options = new QHBoxLayout;
    options->addWidget(optYesIgnoreMouseMovement);
    options->addWidget(optDoNotIgnoreMouseMovement);
    options->addStretch(1);
    auto* ignore = new QVBoxLayout(fraIgnore);
    ignore->addLayout(options);
    ignore->addWidget(lblIgnoreMouseMovementMessage);

    auto* buttons = okCancelButtons(QStringLiteral("&OK"), "Command2", Command2, "Command1", Command1);
    Label4 = buttonLabel(QStringLiteral("Help"), "Label4");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Label4);
    bottom->addStretch(1);
    bottom->addWidget(buttons);

    auto* root = new QVBoxLayout(this);
    root->setMenuBar(menuBar);
    root->addWidget(fraSensitivity);
    root->addWidget(fraIgnore);
    root->addStretch(1);
    root->addLayout(bottom);
    fixClientSize(root, 6345, 4905);

    // Tab goes through what can be used, in the order it is seen.
    setTabOrder(hscMouseSensitivity, txtMouseSensitivity);
    setTabOrder(txtMouseSensitivity, optYesIgnoreMouseMovement);
    setTabOrder(optYesIgnoreMouseMovement, optDoNotIgnoreMouseMovement);
    setTabOrder(optDoNotIgnoreMouseMovement, Command2);
    setTabOrder(Command2, Command1);

    // The group settles which option is selected before an option's own handler runs.
    ignoreOptions = new runtime::OptionGroup(this);
    ignoreOptions->setOneTabStop();
    ignoreOptions->add(optYesIgnoreMouseMovement);
    ignoreOptions->add(optDoNotIgnoreMouseMovement);

    connect(hscMouseSensitivity, &QScrollBar::valueChanged, this,
            &frmMouseSensitivity::hscMouseSensitivity_Change);
    connect(txtMouseSensitivity, &QLineEdit::textEdited, this, &frmMouseSensitivity::txtMouseSensitivity_Change);
    runtime::onSelected(optYesIgnoreMouseMovement, this,
                        std::bind_front(&frmMouseSensitivity::optYesIgnoreMouseMovement_Click, this));
    runtime::onSelected(optDoNotIgnoreMouseMovement, this,
                        std::bind_front(&frmMouseSensitivity::optDoNotIgnoreMouseMovement_Click, this));
    connect(Command2, &QPushButton::clicked, this, &frmMouseSensitivity::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMouseSensitivity::Command1_Click);
    connect(Label1, &runtime::ClickLabel::clicked, this, &frmMouseSensitivity::Label1_Click);
    connect(Label4, &runtime::ClickLabel::clicked, this, &frmMouseSensitivity::Label4_Click);
    connect(mnuExitWithoutSavingChanges, &QAction::triggered, this,
            &frmMouseSensitivity::mnuExitWithoutSavingChanges_Click);
    connect(mnuExitAndSaveChanges, &QAction::triggered, this,
            &frmMouseSensitivity::mnuExitAndSaveChanges_Click);
}

QString frmMouseSensitivity::helpText() {
    return QStringList{
        QStringLiteral(
            "Different brands of computer systems have slightly different hardware and multimedia/video "
            "card architectures.  The screensaver's ability to detect mouse movement in FULL Screen Mode "
            "is affected in some cases by these variations."),
        QStringLiteral(
            "Some computers will exhibit difficulties in displaying a multimedia file in full screen "
            "mode, because they detect either a small or possibly a radical 'mouse bounce' when the media "
            "file attempts to render.  This causes the screensaver to end prematurely."),
        QStringLiteral(
            "In some cases it will be necessary to disable the capability to end the screensaver by "
            "moving the mouse by selecting the Yes option in this window.  If 'Yes' is selected, it will "
            "be necessary to strike nearly any key on the keyboard to end the screensaver."),
        QStringLiteral(
            "The 'Yes' selection will only have effect in the FULL Screen mode of the screensaver.  The "
            "other multimedia screen sizes will end by moving the mouse."),
    }
        .join(QStringLiteral("\r\n\r\n"));
}

void frmMouseSensitivity::Form_Load() {
    centreOnScreen();
    txtMouseSensitivity->setText(settings::read(Key::MouseSensitivity));
    hscMouseSensitivity->setValue(settings::readInRange(Key::MouseSensitivity, kLeastSensitivity, kMostSensitivity));
    // A stored text the bar could not take as it stands (out of range, a fraction, no number at all)
    // is shown as the value the bar took, so that OK stores a sensitivity the players can use.
    if (txtMouseSensitivity->text() != QString::number(hscMouseSensitivity->value()))
        hscMouseSensitivity_Change();
    // Typing a number replaces the one shown.
    txtMouseSensitivity->selectAll();
    // The options show what the full-screen player will do: it reads the same key with the same
    // default (a move ends it) and keeps to ending on a move when the text is no Boolean. So "No" is
    // selected whenever a move ends it, fresh settings included, and OK never turns that off
    // unasked; "Yes" where a move is ignored.
    const bool moveEnds = settings::readOrDefault(Key::DoNotIgnoreMouseMovent);
    optYesIgnoreMouseMovement->setChecked(settings::readOrDefault(Key::IgnoreMouseMovement) || !moveEnds);
    optDoNotIgnoreMouseMovement->setChecked(moveEnds);
}

void frmMouseSensitivity::hscMouseSensitivity_Change() {
    // The bar following a typed number must not rewrite the box under the cursor.
    const QString shown = QString::number(hscMouseSensitivity->value());
    if (txtMouseSensitivity->text() != shown) txtMouseSensitivity->setText(shown);
}

std::optional<int> frmMouseSensitivity::typedSensitivity() const {
    bool ok = false;
    const int typed = txtMouseSensitivity->text().toInt(&ok);
    if (!ok || typed < kLeastSensitivity || typed > kMostSensitivity) return std::nullopt;
    return typed;
}

void frmMouseSensitivity::txtMouseSensitivity_Change() {
    // A number on its way ("1" before "15") leaves the bar where it is until it is one the bar takes.
    if (const std::optional<int> typed = typedSensitivity()) hscMouseSensitivity->setValue(*typed);
}

void frmMouseSensitivity::optYesIgnoreMouseMovement_Click() {
    lblIgnoreMouseMovementMessage->setVisible(true);
}

void frmMouseSensitivity::optDoNotIgnoreMouseMovement_Click() {
    lblIgnoreMouseMovementMessage->setVisible(false);
}

void frmMouseSensitivity::saveAndClose() {
    if (isShrinking()) return;
    if (!typedSensitivity()) {
        notice(QStringLiteral("The mouse sensitivity must be a whole number from %1 to %2.")
                   .arg(kLeastSensitivity)
                   .arg(kMostSensitivity));
        txtMouseSensitivity->setFocus(Qt::OtherFocusReason);
        txtMouseSensitivity->selectAll();
        return;
    }
    const bool saved = saveSettings([this] {
        settings::save(Key::MouseSensitivity, txtMouseSensitivity->text());
        settings::save(Key::IgnoreMouseMovement, optYesIgnoreMouseMovement->isChecked());
        settings::save(Key::DoNotIgnoreMouseMovent, optDoNotIgnoreMouseMovement->isChecked());
    });
    if (saved) closeWithShrink();
}

void frmMouseSensitivity::Command2_Click() {
    saveAndClose();
}

void frmMouseSensitivity::mnuExitAndSaveChanges_Click() {
    saveAndClose();
}

void frmMouseSensitivity::Command1_Click() {
    closeWithShrink();
}

void frmMouseSensitivity::Label1_Click() {
    closeWithShrink();
}

void frmMouseSensitivity::mnuExitWithoutSavingChanges_Click() {
    closeWithShrink();
}

void frmMouseSensitivity::Label4_Click() {
    if (isShrinking()) return;
    platform::dialogs().messageBox(helpText(), kInformation, QStringLiteral("Explanation"));
}
