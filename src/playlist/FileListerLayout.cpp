#include "playlist/frmFileLister.h"

#include "playlist/BrowseLists.h"
#include "playlist/FilmPictures.h"
#include "playlist/PlayList.h"
#include "playlist/WindowHandle.h"
#include "runtime/Controls.h"
#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

// How the play-list editor is built: its controls, menus and layout.

namespace {

// A small film strip beside the title, drawn rather than shipped.
QPixmap filmPicture() {
    return drawnPicture(40, 28, [](QPainter& p) {
        drawFilmStrip(p, QRectF(1, 2, 38, 24), QColor(30, 30, 40), QColor(235, 235, 235), 5, 7, QSizeF(4, 3));
        p.setBrush(frameGradient(9, 19));
        p.drawRect(QRectF(5, 9, 13, 10));
        p.drawRect(QRectF(22, 9, 13, 10));
    });
}

} // namespace

void frmFileLister::createControls() {
    auto named = [](auto* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    auto frame = [&](const char* name, const QString& caption) {
        return named(new QGroupBox(caption, this), name);
    };
    auto button = [&](const char* name, const QString& caption) {
        auto* b = named(new QPushButton(caption, this), name);
        b->setAutoDefault(false);
        return b;
    };
    auto clickLabel = [&](const char* name, const QString& caption) {
        auto* l = named(new runtime::ClickLabel(caption, this), name);
        l->setCursor(Qt::PointingHandCursor);
        return l;
    };

    Frame1 = frame("Frame1", QStringLiteral("Drive To Search"));
    Frame2 = frame("Frame2", QStringLiteral("Folder To Search"));
    Frame3 =
        frame("Frame3", QStringLiteral("Multimedia Files Located:    (Click each filename to add below.)"));
    Frame4 =
        frame("Frame4", QStringLiteral(
                            "Multimedia Files To Be Saved In Play List:  (Click each filename to remove from "
                            "this list.)"));
    Frame5 = frame("Frame5", QStringLiteral("Play Multimedia Files:"));

    Drive1 = named(new DriveList(this), "Drive1");
    Dir1 = named(new FolderList(this), "Dir1");
    File1 = named(new FileList(this), "File1");
    List1 = named(new QListView(this), "List1");
    List1->setModel(&playList());

    optInOrderOfSelection = named(new runtime::OptionButton(QStringLiteral("In Order Of Selection"), this),
                                  "optInOrderOfSelection");
    optInRandomOrder =
        named(new runtime::OptionButton(QStringLiteral("In Random Order"), this), "optInRandomOrder");
    m_orderGroup = new runtime::OptionGroup(this);
    m_orderGroup->add(optInOrderOfSelection);
    m_orderGroup->add(optInRandomOrder);

    Command4 = button("Command4", QStringLiteral("&Add All Files"));
    Command5 = button("Command5", QStringLiteral("Clea&r All Files"));
    Command3 = button("Command3", QStringLiteral("&Search Hard Drive"));
    Command1 = button("Command1", QStringLiteral("Sa&ve Play List and/or Configuration"));
    Command2 = button("Command2", QStringLiteral("&Cancel"));

    Label2 = clickLabel("Label2", QStringLiteral("Drilll To Folder And Choose Files"));
    QFont title(QStringLiteral("Arial"));
    title.setPointSizeF(font().pointSizeF() * 1.3);
    title.setBold(true);
    Label2->setFont(title);
    Label3 = clickLabel("Label3", QStringLiteral("Search"));
    Label4 = clickLabel("Label4", QStringLiteral("Help"));
    Label5 = clickLabel("Label5", QStringLiteral("X "));
    Label5->setToolTip(QStringLiteral("Cancel/Close"));
    QFont bold = Label5->font();
    bold.setBold(true);
    Label5->setFont(bold);
    Label1 = named(new QLabel(QStringLiteral("1000"), this), "Label1");
    QFont small = Label1->font();
    small.setPointSizeF(font().pointSizeF() * 0.7);
    Label1->setFont(small);
    Image1 = named(new QLabel(this), "Image1");
    Image1->setPixmap(filmPicture());
    new WindowHandle(Image1);
}

void frmFileLister::createMenus() {
    mnuFile = new QMenu(QStringLiteral("&File"), this);
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuSearch = new QMenu(QStringLiteral("&Search"), this);
    mnuSearch->setObjectName(QStringLiteral("mnuSearch"));
    mnuSearchEntireDriveForVideoFiles = mnuSearch->addAction(
        QStringLiteral("Click here to &Search your entire hard drive(s) for video files"));
    mnuSearchEntireDriveForVideoFiles->setObjectName(QStringLiteral("mnuSearchEntireDriveForVideoFiles"));
    // A menu of its own with no items: choosing it shows the instructions.
    mnuHelp = new QAction(QStringLiteral("&Help"), this);
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelp->setShortcut(QKeySequence(Qt::ALT | Qt::Key_H));
    mnuHelp->setShortcutContext(Qt::WindowShortcut);
    addAction(mnuHelp);
}

void frmFileLister::layOut() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 4, 8, 6);
    root->setSpacing(4);

    auto* strip = new QHBoxLayout;
    strip->setSpacing(0);
    strip->addWidget(Image1);
    strip->addSpacing(6);
    for (auto [label, underlined] : {std::pair{Label2, -1}, std::pair{Label3, 0}, std::pair{Label4, 0}}) {
        if (underlined >= 0) {
            const QString caption = label->text();
            label->setTextFormat(Qt::RichText);
            label->setText(QStringLiteral("<u>") + caption.left(1) + QStringLiteral("</u>") + caption.mid(1));
            auto* separator = new QFrame(this);
            separator->setFrameShape(QFrame::VLine);
            separator->setFrameShadow(QFrame::Sunken);
            strip->addWidget(separator);
        }
        label->setContentsMargins(8, 3, 8, 3);
        strip->addWidget(label);
    }
    strip->addStretch(1);
    Label5->setContentsMargins(8, 3, 4, 3);
    strip->addWidget(Label5);
    root->addLayout(strip);
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    root->addWidget(rule);

    auto tight = [](QLayout* l) {
        l->setContentsMargins(6, 4, 6, 4);
        return l;
    };
    tight(new QVBoxLayout(Frame1))->addWidget(Drive1);
    tight(new QVBoxLayout(Frame2))->addWidget(Dir1);
    tight(new QVBoxLayout(Frame3))->addWidget(File1);
    tight(new QVBoxLayout(Frame4))->addWidget(List1);
    auto* order = new QVBoxLayout(Frame5);
    tight(order);
    order->addWidget(optInOrderOfSelection);
    order->addWidget(optInRandomOrder);

    auto* browse = new QGridLayout;
    browse->addWidget(Frame1, 0, 0);
    browse->addWidget(Frame2, 1, 0);
    browse->addWidget(Frame3, 0, 1, 2, 1);
    browse->setColumnStretch(0, 2);
    browse->setColumnStretch(1, 3);
    browse->setRowStretch(1, 1);
    root->addLayout(browse, 3);
    root->addWidget(Frame4, 2);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Frame5);
    auto* buttons = new QGridLayout;
    buttons->addWidget(Command4, 0, 0);
    buttons->addWidget(Command5, 0, 1);
    buttons->addWidget(Command3, 0, 2);
    buttons->addWidget(Command1, 1, 0, 1, 2);
    buttons->addWidget(Command2, 1, 2);
    bottom->addLayout(buttons, 1);
    root->addLayout(bottom);
    root->addWidget(Label1);
    // The closing animation may take the window below the size its controls want.
    root->setSizeConstraint(QLayout::SetNoConstraint);

    for (QAbstractItemView* l : std::initializer_list<QAbstractItemView*>{Dir1, File1, List1})
        l->setMinimumHeight(60);
    // Enough to browse, and the whole window fits a 1280 x 1024 screen at double scale.
    resize(sizeHint().expandedTo(QSize(600, 470)).boundedTo(QSize(620, 500)));

    const QList<QWidget*> tabs = {Drive1,           Dir1,     File1,    List1,    optInOrderOfSelection,
                                  optInRandomOrder, Command4, Command5, Command3, Command1,
                                  Command2};
    for (int i = 1; i < tabs.size(); ++i)
        setTabOrder(tabs[i - 1], tabs[i]);
}
