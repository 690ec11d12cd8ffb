#include "playlist/frmChooseOrSearch.h"

#include "playlist/FilmPictures.h"
#include "playlist/WindowHandle.h"
#include "runtime/Controls.h"
#include "runtime/FormRegistry.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "platform/Settings.h"
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

constexpr int kExclamation = 48;
const QString kMessageTitle = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");

// A clapper board beside the instruction, drawn rather than shipped.
QPixmap clapperPicture() {
    return drawnPicture(44, 48, [](QPainter& p) {
        p.setBrush(QColor(30, 30, 40));
        p.drawRoundedRect(QRectF(2, 22, 40, 24), 3, 3);
        p.setBrush(frameGradient(26, 44));
        p.drawRect(QRectF(6, 26, 32, 16));
        p.translate(2, 20);
        p.rotate(-18);
        p.setBrush(QColor(30, 30, 40));
        p.drawRect(QRectF(0, -8, 40, 8));
        p.setBrush(QColor(235, 235, 235));
        for (int i = 0; i < 4; ++i)
            p.drawPolygon(QPolygonF{QPointF(4 + i * 10, -8), QPointF(9 + i * 10, -8), QPointF(6 + i * 10, 0),
                                    QPointF(1 + i * 10, 0)});
    });
}

} // namespace

QList<platform::FileFilter> frmChooseOrSearch::fileFilters() {
    const QString compatible =
        QStringLiteral("*.mpg;*.mpv;*.mpeg;*.avi;*.vid;*.mpe;*.wmv;*.asf;*.wma;*.mp3;*.wav");
    // Today's videos and songs belong among the compatible types too: the player plays them all.
    const QString today =
        QStringLiteral("*.mp4;*.m4v;*.mkv;*.webm;*.mov;*.ogv;*.ts;*.m2ts;*.flac;*.ogg;*.opus;*.m4a;*.aac");
    const QString all = compatible + u';' + today;
    return {{QStringLiteral("All Compatible Multimedia File Types (%1)").arg(all), all},
            {QStringLiteral("MPG Videos (*.mpg)"), QStringLiteral("*.mpg")},
            {QStringLiteral("MPV Videos (*.mpv)"), QStringLiteral("*.mpv")},
            {QStringLiteral("AVI Videos (*.avi)"), QStringLiteral("*.avi")},
            {QStringLiteral("MPEG Videos (*.mpeg)"), QStringLiteral("*.mpeg")},
            {QStringLiteral("VID Videos (*.vid)"), QStringLiteral("*.vid")},
            {QStringLiteral("MPE Videos (*.mpe)"), QStringLiteral("*.mpe")},
            {QStringLiteral("WMV Videos (*.wmv)"), QStringLiteral("*.wmv")},
            {QStringLiteral("ASF Videos (*.asf)"), QStringLiteral("*.asf")},
            {QStringLiteral("WMA Audios (*.wma)"), QStringLiteral("*.wma")},
            {QStringLiteral("MP2 Audios (*.mp3)"), QStringLiteral("*.mp3")},
            {QStringLiteral("MP2 Audios (*.mp3)"), QStringLiteral("*.mp3")},
            {QStringLiteral("WAV Audios (*.wav)"), QStringLiteral("*.wav")},
            {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")}};
}

frmChooseOrSearch::frmChooseOrSearch() : Form(QStringLiteral("frmChooseOrSearch")) {
    // No title bar: "X " is the close box, the picture the handle.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Choose or Search for a Media File"));

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    Label1 = new QLabel(
        QStringLiteral("Choose the single multimedia file selection method that you prefer below.."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    cmdChooseFromDialogMethod = button(
        "cmdChooseFromDialogMethod",
        QStringLiteral("&Click here to \"drill to\" and choose your media file from a dialog window."));
    cmdChooseFileSearchMethod = button(
        "cmdChooseFileSearchMethod",
        QStringLiteral("Click here to &Search your hard drive for media files and select from a list."));
    cmdCancel = button("cmdCancel", QStringLiteral("C&ancel"));
    Label2 = new runtime::ClickLabel(QStringLiteral("X "), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setToolTip(QStringLiteral("Cancel/Close"));
    Label2->setCursor(Qt::PointingHandCursor);
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(clapperPicture());
    new WindowHandle(Image1);
    for (QPushButton* b : {cmdChooseFromDialogMethod, cmdChooseFileSearchMethod})
        b->setMinimumHeight(b->sizeHint().height() * 3 / 2);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(10, 6, 8, 10);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addWidget(Label1, 1);
    top->addWidget(Label2, 0, Qt::AlignTop);
    root->addLayout(top);
    root->addWidget(cmdChooseFromDialogMethod);
    root->addWidget(cmdChooseFileSearchMethod);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(cmdCancel);
    root->addLayout(bottom);
    // The closing animation may take the window below the size its controls want.
    root->setSizeConstraint(QLayout::SetNoConstraint);

    connect(cmdChooseFromDialogMethod, &QPushButton::clicked, this,
            &frmChooseOrSearch::cmdChooseFromDialogMethod_Click);
    connect(cmdChooseFileSearchMethod, &QPushButton::clicked, this,
            &frmChooseOrSearch::cmdChooseFileSearchMethod_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmChooseOrSearch::cmdCancel_Click);
    connect(Label2, &runtime::ClickLabel::clicked, this, &frmChooseOrSearch::Label2_Click);
    // Enter presses the focused button, Esc cancels.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* s = new QShortcut(QKeySequence(key), this);
        connect(s, &QShortcut::activated, this, [this] {
            if (auto* b = qobject_cast<QPushButton*>(focusWidget()); b && b->isEnabled()) b->click();
        });
    }
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, cmdCancel, &QPushButton::click);

    resize(sizeHint().expandedTo(QSize(460, 0)));
}

void frmChooseOrSearch::Form_Load() {
    centreOnScreen();
    cmdChooseFromDialogMethod->setFocus(Qt::OtherFocusReason);
}

void frmChooseOrSearch::cmdChooseFromDialogMethod_Click() {
    const QString start = settings::read(settings::Key::PathToLastDirectory);
    const std::optional<QString> chosen =
        platform::dialogs().openFile(QStringLiteral("Open"), fileFilters(), 0, start);
    if (!chosen || chosen->isEmpty()) return;
    const QString folder = QFileInfo(*chosen).absolutePath();
    try {
        settings::SaveTogether together;
        settings::save(settings::Key::VideoFile, *chosen);
        settings::save(settings::Key::PathToLastDirectory, folder);
        settings::save(settings::Key::PathToLastDirectoryFormDrag, folder);
        together.commit();
    } catch (const runtime::RuntimeError& e) {
        // The choice is not lost in silence: the chooser stays for another try.
        platform::dialogs().messageBox(
            QStringLiteral("The settings could not be saved.\n\n%1").arg(QString::fromUtf8(e.what())),
            kExclamation, kMessageTitle);
        return;
    }
    shrinkAndUnload();
}

void frmChooseOrSearch::cmdChooseFileSearchMethod_Click() {
    // The search registers itself by name; until it does, nothing opens and the chooser stays.
    runtime::Form* search = runtime::forms().get(QStringLiteral("frmSingleFileSearch"));
    if (!search) return;
    QWidget* owner = runtime::forms().find(QStringLiteral("frmConfigure"));
    search->ShowModal(owner ? owner : parentWidget());
    shrinkAndUnload();
}

void frmChooseOrSearch::cmdCancel_Click() {
    shrinkAndUnload();
}

void frmChooseOrSearch::Label2_Click() {
    shrinkAndUnload();
}

void frmChooseOrSearch::shrinkAndUnload() {
    if (m_shrunk || !isLoaded()) return;
    m_shrunk = true;
    CloseWithShrink();
}

bool frmChooseOrSearch::Form_QueryUnload() {
    // Whatever closes it, the window shrinks away first.
    if (!m_shrunk) {
        m_shrunk = true;
        CloseWithShrink();
    }
    return true;
}

void frmChooseOrSearch::paintEvent(QPaintEvent*) {
    // Without a title bar the window draws its own fixed border.
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::Dark), 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}
