#include "shell/frmMonitors.h"

#include "platform/Settings.h"
#include "runtime/Controls.h"
#include <QAction>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

using playback::MonitorUse;

frmMonitors::frmMonitors() : SaveMenuDialog(QStringLiteral("frmMonitors"), QStringLiteral("Monitors")) {
    fraMonitors = named(new QGroupBox(QStringLiteral("With More Than One Monitor, Show")), "fraMonitors");
    optPrimaryMonitor = named(new runtime::OptionButton(QStringLiteral(
                                  "The primary monitor only (the others show the background)")),
                              "optPrimaryMonitor");
    optSameOnEvery = named(new runtime::OptionButton(QStringLiteral("The same picture on every monitor")),
                           "optSameOnEvery");
    optEachItsOwn =
        named(new runtime::OptionButton(QStringLiteral("Each monitor its own item of the play list")),
              "optEachItsOwn");
    auto* choices = new QVBoxLayout(fraMonitors);
    choices->addWidget(optPrimaryMonitor);
    choices->addWidget(optSameOnEvery);
    choices->addWidget(optEachItsOwn);

    auto* buttons = okCancelButtons(QStringLiteral("&OK"), "Command2", Command2, "Command1", Command1);

    auto* root = new QVBoxLayout(this);
    root->setMenuBar(menuBar);
    root->addWidget(fraMonitors);
    root->addStretch(1);
    root->addWidget(buttons);
    fixClientSize(root, 6345, 2895);

    setTabOrder(optPrimaryMonitor, optSameOnEvery);
    setTabOrder(optSameOnEvery, optEachItsOwn);
    setTabOrder(optEachItsOwn, Command2);
    setTabOrder(Command2, Command1);

    monitorOptions = new runtime::OptionGroup(this);
    monitorOptions->setOneTabStop();
    for (runtime::OptionButton* o : {optPrimaryMonitor, optSameOnEvery, optEachItsOwn})
        monitorOptions->add(o);

    connect(Command2, &QPushButton::clicked, this, &frmMonitors::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMonitors::Command1_Click);
    connect(Label1, &runtime::ClickLabel::clicked, this, &frmMonitors::Label1_Click);
    connect(mnuExitWithoutSavingChanges, &QAction::triggered, this,
            &frmMonitors::mnuExitWithoutSavingChanges_Click);
    connect(mnuExitAndSaveChanges, &QAction::triggered, this, &frmMonitors::mnuExitAndSaveChanges_Click);
}

runtime::OptionButton* frmMonitors::optionFor(MonitorUse use) const {
    switch (use) {
    case MonitorUse::Same:
        return optSameOnEvery;
    case MonitorUse::Each:
        return optEachItsOwn;
    case MonitorUse::Primary:
        break;
    }
    return optPrimaryMonitor;
}

MonitorUse frmMonitors::chosenUse() const {
    if (optSameOnEvery->isChecked()) return MonitorUse::Same;
    if (optEachItsOwn->isChecked()) return MonitorUse::Each;
    return MonitorUse::Primary;
}

void frmMonitors::Form_Load() {
    centreOnScreen();
    // What a run will do: a hand-edited word the players do not know means the primary monitor.
    runtime::OptionButton* shown =
        optionFor(playback::monitorUseFrom(settings::read(settings::Key::EveryMonitor)));
    shown->setChecked(true);
    // The keyboard starts on the choice in force.
    shown->setFocus(Qt::OtherFocusReason);
}

void frmMonitors::saveAndClose() {
    if (isShrinking()) return;
    const MonitorUse use = chosenUse();
    if (saveSettings([use] { settings::save(settings::Key::EveryMonitor, playback::monitorUseWord(use)); }))
        closeWithShrink();
}

void frmMonitors::Command2_Click() {
    saveAndClose();
}

void frmMonitors::mnuExitAndSaveChanges_Click() {
    saveAndClose();
}

void frmMonitors::Command1_Click() {
    closeWithShrink();
}

void frmMonitors::Label1_Click() {
    closeWithShrink();
}

void frmMonitors::mnuExitWithoutSavingChanges_Click() {
    closeWithShrink();
}
