#include "playlist/frmFileLister.h"

#include "platform/Platform.h"
#include "playlist/PlayListFile.h"
#include "runtime/FormRegistry.h"
#include "runtime/Guard.h"
#include "runtime/Controls.h"
#include "runtime/RuntimeError.h"
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kFormName = QStringLiteral("frmFileLister");
const QString kMessageTitle = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");
constexpr int kExclamation = 48;
} // namespace

frmFileLister::frmFileLister(QWidget* parent) : runtime::Form(kFormName, parent) {
    Label1 = new QLabel(QStringLiteral("1000"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    optInOrderOfSelection = new runtime::OptionButton(QStringLiteral("In Order Of Selection"), this);
    optInOrderOfSelection->setObjectName(QStringLiteral("optInOrderOfSelection"));
    optInRandomOrder = new runtime::OptionButton(QStringLiteral("In Random Order"), this);
    optInRandomOrder->setObjectName(QStringLiteral("optInRandomOrder"));
    m_orderGroup = new runtime::OptionGroup(this);
    m_orderGroup->add(optInOrderOfSelection);
    m_orderGroup->add(optInRandomOrder);
    Command1 = new QPushButton(QStringLiteral("Sa&ve Play List and/or Configuration"), this);
    Command1->setObjectName(QStringLiteral("Command1"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List1);
    layout->addWidget(optInOrderOfSelection);
    layout->addWidget(optInRandomOrder);
    layout->addWidget(Command1);
    layout->addWidget(Label1);
    setWindowTitle(QStringLiteral("Playlist Configuration"));
    resize(480, 360);
}

int frmFileLister::listCount() const {
    return List1->count();
}

QString frmFileLister::listItem(int index) const {
    const QListWidgetItem* item = index >= 0 ? List1->item(index) : nullptr;
    return item ? item->text() : QString();
}

void frmFileLister::addItem(const QString& entry) {
    if (List1->count() >= kMaxEntries)
        throw runtime::RuntimeError(runtime::ErrorKind::Overflow, QStringLiteral("The play list is full"));
    List1->addItem(entry);
}

QString frmFileLister::header() const {
    return Label1->text();
}

void frmFileLister::LoadPlayList() {
    const PlayListData data = readPlayList(playListFilePath());
    Label1->setText(data.header);
    for (const QString& entry : data.entries)
        addItem(entry);
}

bool frmFileLister::SavePlayList() {
    PlayListData data;
    data.header = header();
    for (int i = 0; i < List1->count(); ++i)
        data.entries << List1->item(i)->text();
    try {
        writePlayList(playListFilePath(), data);
        return true;
    } catch (const runtime::RuntimeError& e) {
        platform::dialogs().messageBox(
            QStringLiteral("The play list was not saved.\n\n%1").arg(QString::fromUtf8(e.what())),
            kExclamation, kMessageTitle);
        return false;
    }
}

void frmFileLister::applyOrderOptions(ListChange change) {
    const int n = listCount();
    auto set = [](runtime::OptionButton* o, bool enabled, int selected) {
        // selected: 1 select, 0 unselect, -1 leave as it is
        o->setEnabled(enabled);
        if (selected >= 0) o->setChecked(selected == 1);
    };
    switch (change) {
    case ListChange::Load:
        Command1->setEnabled(n > 0);
        if (n == 0) {
            set(optInOrderOfSelection, false, 0);
            set(optInRandomOrder, false, 0);
        } else {
            set(optInOrderOfSelection, true, 1);
            set(optInRandomOrder, n >= 3, 0);
        }
        break;
    case ListChange::AddAll:
    case ListChange::Removal:
        if (n <= 1) {
            set(optInOrderOfSelection, false, 0);
            set(optInRandomOrder, false, 0);
        } else if (n == 2) {
            set(optInOrderOfSelection, true, 1);
            set(optInRandomOrder, false, 0);
        } else if (n == 3) {
            set(optInOrderOfSelection, true, -1);
            set(optInRandomOrder, true, 1);
        } else if (change == ListChange::AddAll) {
            set(optInOrderOfSelection, true, 1);
            set(optInRandomOrder, true, 0);
        }
        break;
    case ListChange::SingleAdd:
    case ListChange::MouseMove:
        if (n < 2) break;
        if (change == ListChange::MouseMove) Command1->setEnabled(true);
        optInOrderOfSelection->setEnabled(true);
        if (n >= 3) optInRandomOrder->setEnabled(true);
        break;
    }
}

void frmFileLister::Form_Load() {
    runtime::skipOnError([&] { LoadPlayList(); });
    // The header is not for the user's eyes: it takes the colour of the face it sits on.
    runtime::skipOnError([&] {
        QPalette p = Label1->palette();
        p.setColor(QPalette::WindowText, p.color(QPalette::Button));
        Label1->setPalette(p);
    });
    runtime::skipOnError([&] { centreOnScreen(); });
}

void registerPlaylistForms() {
    runtime::forms().registerForm(kFormName, [] { return new frmFileLister; });
}

frmFileLister* fileLister() {
    if (!runtime::forms().isRegistered(kFormName)) registerPlaylistForms();
    return runtime::forms().load<frmFileLister>(kFormName);
}

void unloadFileLister() {
    runtime::skipOnError([] {
        if (runtime::Form* form = runtime::forms().find(kFormName)) form->Unload();
    });
}
