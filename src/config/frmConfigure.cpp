#include "config/frmConfigure.h"

#include "config/DesktopShortcut.h"
#include "config/HelpTexts.h"
#include "platform/Platform.h"
#include "playlist/frmFileLister.h"
#include "runtime/Convert.h"
#include "runtime/FormRegistry.h"
#include "runtime/RuntimeError.h"
#include "runtime/Twips.h"
#include "shell/Settings.h"
#include "shell/SmallDialog.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWindow>
#include <tuple>

using runtime::boolToText;
using runtime::fitToRange;

namespace {

constexpr int kInformation = 64;
constexpr int kExclamation = 48;

const QString kEmptyPlayList = QStringLiteral(
    "It appears that no files were selected from the Playlist Configuration screen.  Multimedia files will "
    "need "
    "to be selected from the Playlist Configurator, in order to keep this message from appearing.  You must "
    "create a file list in order to use this feature of the program, or change back to the single media "
    "repeat "
    "play mode.");

QString checkText(const QCheckBox* box) {
    return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

QScrollBar* scrollBar(QWidget* parent, const char* name, int min, int max, int small, int large) {
    // The style shows no keyboard focus on a scroll bar: every Tab stop must show where it is.
    auto* bar = new ShowsFocus<QScrollBar>(Qt::Horizontal, parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(min, max);
    bar->setSingleStep(small);
    bar->setPageStep(large);
    bar->setValue(min);
    bar->setContextMenuPolicy(Qt::NoContextMenu);
    // Reached with Tab and moved with the arrows, like the dialog's other controls. A scroll bar's
    // keys are inverted by default (made for vertical bars): Right must move it up.
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setInvertedControls(false);
    return bar;
}

// The 256 x 40 banner above the settings, drawn rather than shipped.
QPixmap bannerPicture() {
    QPixmap pm(256, 40);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 256, 0);
    g.setColorAt(0, QColor(20, 24, 80));
    g.setColorAt(0.5, QColor(90, 40, 140));
    g.setColorAt(1, QColor(20, 24, 80));
    p.fillRect(pm.rect(), g);
    for (int i = 0; i < 6; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 60 - i * 8), 1));
        p.drawLine(0, 6 + i * 6, 256, 2 + i * 7);
    }
    QFont f = p.font();
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(250, 230, 120));
    p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("Lumora"));
    return pm;
}

} // namespace

frmConfigure::frmConfigure() : Form(QStringLiteral("frmConfigure")) {
    // No title bar: the label strip is the menu bar, "X " the close box, the banner the handle.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Lumora Video & Multimedia Screensaver"));
    createControls();
    createMenus();
    layOut();
    connectHandlers();
}

void frmConfigure::createControls() {
    auto label = [this](QLabel* l, const char* name) {
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto clickLabel = [this](const char* name, const QString& caption) {
        auto* l = new runtime::ClickLabel(caption, this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto option = [this](const char* name, const QString& caption) {
        auto* o = new runtime::OptionButton(caption, this);
        o->setObjectName(QString::fromLatin1(name));
        return o;
    };
    auto check = [this](const char* name) {
        auto* c = new QCheckBox(this);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    auto button = [this](const char* name, const QString& caption) {
        // The default button looks the same with the focus and without: each button shows it, as
        // in the small dialogs.
        auto* b = new ShowsFocus<QPushButton>(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    auto text = [this](const char* name, const QString& t) {
        auto* e = new QLineEdit(t, this);
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    auto frame = [this](const char* name, const QString& caption) {
        auto* f = new QGroupBox(caption, this);
        f->setObjectName(QString::fromLatin1(name));
        return f;
    };

    Frame5 = frame("Frame5", QStringLiteral("Multimedia Playback/Display Properties"));
    Frame6 = frame("Frame6", QStringLiteral("Media Floating Speed "));
    Frame2 = frame("Frame2", QStringLiteral("Media Display Size"));
    Frame1 = frame("Frame1", QStringLiteral("Choose Media File and Mode:"));
    Frame3 = frame("Frame3", QStringLiteral("Gradient Background Properties "));

    chkFloatingMovie = check("chkFloatingMovie");
    hscMovingFrameSpeed = scrollBar(this, "hscMovingFrameSpeed", 1, 1000, 10, 50);
    Label2 = clickLabel("Label2", QStringLiteral("< Faster  -  Slower >"));
    Label2->setToolTip(
        QStringLiteral("Click me with the Right Mouse Button or any other control on this form for help"));

    optThreeQuartersScreen = option("optThreeQuartersScreen", QStringLiteral("Three-Quarters Screen"));
    optOneEighth = option("optOneEighth", QStringLiteral("One-Eighth Screen"));
    optAbsoluteFullScreenVideo = option("optAbsoluteFullScreenVideo", QStringLiteral("FULL SCREEN"));
    optOneHalf = option("optOneHalf", QStringLiteral("One-Half Screen"));
    optOneFourth = option("optOneFourth", QStringLiteral("One-Fourth Screen"));
    optOneSixteenth = option("optOneSixteenth", QStringLiteral("One-Sixteenth Screen"));
    m_modes = new runtime::OptionGroup(this);
    for (auto* o : {optThreeQuartersScreen, optOneEighth, optAbsoluteFullScreenVideo, optOneHalf,
                    optOneFourth, optOneSixteenth})
        m_modes->add(o);

    optMultipleFiles = option("optMultipleFiles", QStringLiteral("Play multiple media files"));
    optSingleFile = option("optSingleFile", QStringLiteral("Play looping single media file."));
    m_sources = new runtime::OptionGroup(this);
    m_sources->add(optMultipleFiles);
    m_sources->add(optSingleFile);
    cmdChooseVideo = button("cmdChooseVideo", QStringLiteral("Choose Repeating Single Media File"));
    cmdChooseMultiples = button("cmdChooseMultiples", QStringLiteral("Create/Modify Playlist"));
    cmdRestoreDefaults = button("cmdRestoreDefaults", QStringLiteral("&Restore Defaults"));

    chkTrails = check("chkTrails");
    chkGradOn = check("chkGradOn");
    hscRed = scrollBar(this, "hscRed", 0, 255, 1, 10);
    hscGreen = scrollBar(this, "hscGreen", 0, 255, 1, 10);
    hscBlue = scrollBar(this, "hscBlue", 0, 255, 1, 10);
    txtRed = text("txtRed", QStringLiteral("255"));
    txtGreen = text("txtGreen", QStringLiteral("255"));
    txtBlue = text("txtBlue", QStringLiteral("255"));
    Label6 = clickLabel("Label6", QStringLiteral("Red Level"));
    Label8 = clickLabel("Label8", QStringLiteral("Green Level"));
    Label9 = clickLabel("Label9", QStringLiteral("Blue Level"));
    for (auto* l : {Label6, Label8, Label9})
        l->setToolTip(QStringLiteral("Click me with the Right mouse button"));
    HScroll1 = scrollBar(this, "HScroll1", 1000, 30000, 1000, 1000);
    txtFireGradient = text("txtFireGradient", QString());
    Label13 = clickLabel("Label13", QStringLiteral("Change Gradient every"));
    Label13->setToolTip(QStringLiteral("Click me with the right mouse button for help"));
    Label1 = label(new QLabel(QStringLiteral("second(s)"), this), "Label1");

    Image1 = label(new QLabel(this), "Image1");
    Image1->setPixmap(bannerPicture());
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setCursor(Qt::SizeAllCursor);
    Image1->installEventFilter(this);

    lblFile = clickLabel("lblFile", QStringLiteral("File"));
    lblSoundControl = clickLabel("lblSoundControl", QStringLiteral("Sound"));
    lblMouse = clickLabel("lblMouse", QStringLiteral("Mouse"));
    lblBackColor = clickLabel("lblBackColor", QStringLiteral("Color"));
    lblHelp = clickLabel("lblHelp", QStringLiteral("Help"));
    Label4 = label(new QLabel(this), "Label4");
    Label7 = label(new QLabel(this), "Label7");
    Label10 = label(new QLabel(this), "Label10");
    Label11 = label(new QLabel(this), "Label11");
    Label12 = label(new QLabel(this), "Label12");
    Label14 = label(new QLabel(this), "Label14");
    Label15 = label(new QLabel(this), "Label15");
    Label3 = clickLabel("Label3", QStringLiteral("X "));
    Label3->setToolTip(QStringLiteral("Cancel/Close"));

    Command1 = button("Command1", QStringLiteral("&OK - Save Settings"));
    Command1->setDefault(true);
    Command3 = button("Command3", QStringLiteral("&Cancel"));

    // What hides keeps its place, so the dialog does not jump about as options change.
    for (QWidget* w : findChildren<QWidget*>()) {
        QSizePolicy sp = w->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        w->setSizePolicy(sp);
    }
}

void frmConfigure::createMenus() {
    auto menu = [this](const char* name, const QString& title) {
        auto* m = new QMenu(title, this);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto item = [](QMenu* m, const char* name, const QString& caption) {
        QAction* a = m->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    mnuFile = menu("mnuFile", QStringLiteral("&File"));
    mnuCreateDesktopShortcut =
        item(mnuFile, "mnuCreateDesktopShortcut", QStringLiteral("Create Desktop Shortcut"));
    mnuExitWithoutSavingChanges =
        item(mnuFile, "mnuExitWithoutSavingChanges", QStringLiteral("Exit &Without Saving Changes"));
    mnuFile->addSeparator();
    mnuExitAndSaveChanges = item(mnuFile, "mnuExitAndSaveChanges", QStringLiteral("Exit And &Save Changes"));

    mnuSoundControls = menu("mnuSoundControls", QStringLiteral("&Sound"));
    mnuShowSoundControls =
        item(mnuSoundControls, "mnuShowSoundControls", QStringLiteral("Show Sound Controls"));
    mnuMouseSensitivity = menu("mnuMouseSensitivity", QStringLiteral("&Mouse"));
    mnuShowMouseSensitivityControl = item(mnuMouseSensitivity, "mnuShowMouseSensitivityControl",
                                          QStringLiteral("Show Mouse Sensitivity Control"));
    mnuColorControls = menu("mnuColorControls", QStringLiteral("&Color"));
    mnuBackColorControl =
        item(mnuColorControls, "mnuBackColorControl", QStringLiteral("Show Back Color Control"));
    mnuHelpDocument = menu("mnuHelpDocument", QStringLiteral("&Help"));
    mnuSubHelp = item(mnuHelpDocument, "mnuSubHelp", QStringLiteral("Help"));
    mnuHelpDocument->addSeparator();
    mnuVisitWebSite = item(mnuHelpDocument, "mnuVisitWebSite", QStringLiteral("Visit Our Website"));
    mnuHelpDocument->addSeparator();
    mnuAbout = item(mnuHelpDocument, "mnuAbout", QStringLiteral("About this program"));
}

QWidget* frmConfigure::createStrip() {
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("strip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    // The menus open with Alt and the underlined letter as well; Color takes its "l", since Alt+C
    // is the Cancel button's.
    const struct {
        runtime::ClickLabel* label;
        QLabel* separator;
        int underlined;
    } items[] = {{lblFile, Label10, 0},
                 {lblSoundControl, Label11, 0},
                 {lblMouse, Label12, 0},
                 {lblBackColor, Label14, 2},
                 {lblHelp, Label15, 0}};
    for (const auto& it : items) {
        const QString caption = it.label->text();
        it.label->setTextFormat(Qt::RichText);
        it.label->setText(caption.left(it.underlined) + QStringLiteral("<u>") +
                          caption.mid(it.underlined, 1) + QStringLiteral("</u>") +
                          caption.mid(it.underlined + 1));
        it.label->setContentsMargins(8, 3, 8, 3);
        it.label->setCursor(Qt::PointingHandCursor);
        row->addWidget(it.label);
        it.separator->setFrameShape(QFrame::VLine);
        it.separator->setFrameShadow(QFrame::Sunken);
        row->addWidget(it.separator);
    }
    // The banner sits in the strip, so the dialog fits a small screen at double scale.
    row->addStretch(1);
    row->addWidget(Image1);
    row->addSpacing(12);
    QFont bold = Label3->font();
    bold.setBold(true);
    Label3->setFont(bold);
    Label3->setContentsMargins(8, 3, 4, 3);
    Label3->setCursor(Qt::PointingHandCursor);
    row->addWidget(Label3);
    return strip;
}

void frmConfigure::layOut() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 4, 8, 8);
    root->addWidget(createStrip());
    Label4->setFrameShape(QFrame::HLine);
    Label4->setFrameShadow(QFrame::Sunken);
    root->addWidget(Label4);

    auto* modes = new QGridLayout(Frame2);
    // Largest first, read along the rows; the two longest captions share a column.
    modes->addWidget(optAbsoluteFullScreenVideo, 0, 0);
    modes->addWidget(optThreeQuartersScreen, 0, 1);
    modes->addWidget(optOneHalf, 1, 0);
    modes->addWidget(optOneFourth, 1, 1);
    modes->addWidget(optOneEighth, 2, 0);
    modes->addWidget(optOneSixteenth, 2, 1);

    auto* speed = new QGridLayout(Frame6);
    speed->addWidget(chkFloatingMovie, 0, 0, 1, 2);
    speed->addWidget(hscMovingFrameSpeed, 1, 0);
    speed->addWidget(Label2, 1, 1);
    hscMovingFrameSpeed->setMinimumWidth(runtime::twipsToPixels(1800));

    auto* source = new QGridLayout(Frame1);
    source->addWidget(optSingleFile, 0, 0);
    source->addWidget(optMultipleFiles, 1, 0);
    // Only one of the two buttons is ever offered: they share a place.
    source->addWidget(cmdChooseVideo, 2, 0);
    source->addWidget(cmdChooseMultiples, 2, 0);

    auto* left = new QVBoxLayout(Frame5);
    // Tight frames: the whole dialog fits a 1280 x 1024 screen at double scale.
    left->setContentsMargins(4, 4, 4, 4);
    for (QLayout* l :
         {static_cast<QLayout*>(modes), static_cast<QLayout*>(speed), static_cast<QLayout*>(source)})
        l->setContentsMargins(8, 6, 8, 6);
    modes->setHorizontalSpacing(8);
    left->addWidget(Frame2);
    left->addWidget(Frame6);
    left->addWidget(Frame1);
    left->addStretch(1);

    auto* gradient = new QGridLayout(Frame3);
    gradient->setContentsMargins(8, 6, 8, 6);
    gradient->addWidget(chkGradOn, 0, 0, 1, 3);
    int row = 1;
    for (auto [lbl, bar, box] : {std::tuple{Label6, hscRed, txtRed}, std::tuple{Label8, hscGreen, txtGreen},
                                 std::tuple{Label9, hscBlue, txtBlue}}) {
        gradient->addWidget(lbl, row, 0);
        gradient->addWidget(bar, row, 1);
        gradient->addWidget(box, row, 2);
        bar->setMinimumWidth(runtime::twipsToPixels(1200));
        box->setMaxLength(16);
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000.00")) + 12);
        ++row;
    }
    // The interval's box sits beside its bar, as the levels' boxes do: the milliseconds a dragged
    // thumb shows, or Restore Defaults' "6000", then widen the box without widening the dialog.
    gradient->addWidget(Label13, row++, 0, 1, 3);
    auto* every = new QHBoxLayout;
    every->setSpacing(4);
    every->addWidget(HScroll1, 1);
    every->addWidget(txtFireGradient);
    every->addWidget(Label1);
    HScroll1->setMinimumWidth(runtime::twipsToPixels(1200));
    gradient->addLayout(every, row++, 0, 1, 3);
    gradient->addWidget(chkTrails, row++, 0, 1, 3);
    gradient->setRowStretch(row, 1);

    auto* frames = new QHBoxLayout;
    frames->addWidget(Frame5, 1);
    frames->addWidget(Frame3, 1);
    root->addLayout(frames, 1);

    Label7->setFrameShape(QFrame::HLine);
    Label7->setFrameShadow(QFrame::Sunken);
    root->addWidget(Label7);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRestoreDefaults);
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command3);
    root->addLayout(buttons);

    // The keyboard goes through the dialog as the eye does: modes, motion, source, gradient, buttons.
    const QList<QWidget*> order = {optAbsoluteFullScreenVideo,
                                   optThreeQuartersScreen,
                                   optOneHalf,
                                   optOneFourth,
                                   optOneEighth,
                                   optOneSixteenth,
                                   chkFloatingMovie,
                                   hscMovingFrameSpeed,
                                   optSingleFile,
                                   optMultipleFiles,
                                   cmdChooseVideo,
                                   cmdChooseMultiples,
                                   chkGradOn,
                                   hscRed,
                                   txtRed,
                                   hscGreen,
                                   txtGreen,
                                   hscBlue,
                                   txtBlue,
                                   txtFireGradient,
                                   HScroll1,
                                   chkTrails,
                                   cmdRestoreDefaults,
                                   Command1,
                                   Command3};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmConfigure::connectHandlers() {
    connect(Command1, &QPushButton::clicked, this, &frmConfigure::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &frmConfigure::Command3_Click);
    connect(Label3, &runtime::ClickLabel::clicked, this, &frmConfigure::Label3_Click);
    connect(cmdRestoreDefaults, &QPushButton::clicked, this, &frmConfigure::cmdRestoreDefaults_Click);
    runtime::onMouseUp(cmdChooseVideo, [this](Qt::MouseButton b) { cmdChooseVideo_MouseUp(b); });
    connect(cmdChooseMultiples, &QPushButton::clicked, this, &frmConfigure::cmdChooseMultiples_Click);

    connect(mnuCreateDesktopShortcut, &QAction::triggered, this,
            &frmConfigure::mnuCreateDesktopShortcut_Click);
    connect(mnuExitWithoutSavingChanges, &QAction::triggered, this,
            &frmConfigure::mnuExitWithoutSavingChanges_Click);
    connect(mnuExitAndSaveChanges, &QAction::triggered, this, &frmConfigure::mnuExitAndSaveChanges_Click);
    connect(mnuShowSoundControls, &QAction::triggered, this, &frmConfigure::mnuShowSoundControls_Click);
    connect(mnuShowMouseSensitivityControl, &QAction::triggered, this,
            &frmConfigure::mnuShowMouseSensitivityControl_Click);
    connect(mnuBackColorControl, &QAction::triggered, this, &frmConfigure::mnuBackColorControl_Click);
    connect(mnuSubHelp, &QAction::triggered, this, &frmConfigure::mnuSubHelp_Click);
    connect(mnuVisitWebSite, &QAction::triggered, this, &frmConfigure::mnuVisitWebSite_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmConfigure::mnuAbout_Click);

    connect(lblFile, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblFile_MouseDown);
    connect(lblSoundControl, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblSoundControl_MouseDown);
    connect(lblMouse, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblMouse_MouseDown);
    connect(lblBackColor, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblBackColor_MouseDown);
    connect(lblHelp, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblHelp_MouseDown);
    const struct {
        Qt::Key key;
        runtime::ClickLabel* label;
        QMenu* menu;
    } keys[] = {{Qt::Key_F, lblFile, mnuFile},
                {Qt::Key_S, lblSoundControl, mnuSoundControls},
                {Qt::Key_M, lblMouse, mnuMouseSensitivity},
                {Qt::Key_L, lblBackColor, mnuColorControls},
                {Qt::Key_H, lblHelp, mnuHelpDocument}};
    for (const auto& k : keys) {
        auto* s = new QShortcut(QKeySequence(Qt::ALT | k.key), this);
        connect(s, &QShortcut::activated, this, [this, k] { popUpUnder(k.label, k.menu); });
    }
    // Enter presses the focused button, or else the default one; Esc cancels.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* s = new QShortcut(QKeySequence(key), this);
        connect(s, &QShortcut::activated, this, [this] {
            auto* focused = qobject_cast<QPushButton*>(focusWidget());
            (focused && focused->isEnabled() && focused->isVisible() ? focused : Command1)->click();
        });
    }
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, Command3, &QPushButton::click);

    runtime::onSelected(optAbsoluteFullScreenVideo, this, [this] { optAbsoluteFullScreenVideo_Click(); });
    runtime::onSelected(optThreeQuartersScreen, this, [this] { optThreeQuartersScreen_Click(); });
    runtime::onSelected(optOneHalf, this, [this] { optOneHalf_Click(); });
    runtime::onSelected(optOneFourth, this, [this] { optOneFourth_Click(); });
    runtime::onSelected(optOneEighth, this, [this] { optOneEighth_Click(); });
    runtime::onSelected(optOneSixteenth, this, [this] { optOneSixteenth_Click(); });
    runtime::onSelected(optSingleFile, this, [this] { optSingleFile_Click(); });
    runtime::onSelected(optMultipleFiles, this, [this] { optMultipleFiles_Click(); });
    connect(chkFloatingMovie, &QCheckBox::toggled, this, &frmConfigure::chkFloatingMovie_Click);
    connect(chkTrails, &QCheckBox::toggled, this, &frmConfigure::chkTrails_Click);
    connect(chkGradOn, &QCheckBox::toggled, this, &frmConfigure::chkGradOn_Click);
    chkGradOn->setMouseTracking(true);
    chkGradOn->installEventFilter(this);

    connect(hscRed, &QScrollBar::valueChanged, this, &frmConfigure::hscRed_Change);
    connect(hscGreen, &QScrollBar::valueChanged, this, &frmConfigure::hscGreen_Change);
    connect(hscBlue, &QScrollBar::valueChanged, this, &frmConfigure::hscBlue_Change);
    connect(HScroll1, &QScrollBar::valueChanged, this, &frmConfigure::HScroll1_Change);
    for (QLineEdit* box : {txtRed, txtGreen, txtBlue})
        box->installEventFilter(this);

    // Right-button help: labels report their releases themselves, other controls through a hook.
    for (runtime::ClickLabel* l : {Label2, Label6, Label8, Label9, Label13}) {
        const QString name = l->objectName();
        connect(l, &runtime::ClickLabel::mouseUp, this,
                [this, name](Qt::MouseButton b) { showHelp(name, b); });
    }
    for (QWidget* w : std::initializer_list<QWidget*>{
             chkGradOn, chkTrails, Command1, Command3, optAbsoluteFullScreenVideo, optThreeQuartersScreen,
             optOneFourth, optOneHalf, optOneEighth, optOneSixteenth}) {
        const QString name = w->objectName();
        runtime::onMouseUp(w, [this, name](Qt::MouseButton b) { showHelp(name, b); });
    }
}

// ---- Loading ----

void frmConfigure::Form_Load() {
    chkGradOn->setChecked(fitToRange(GetSetting(QStringLiteral("GradOn"), QStringLiteral("0")), 0, 1, 0) ==
                          1);
    HScroll1->setValue(fitToRange(GetSetting(QStringLiteral("FireGradInterval"), QStringLiteral("6000")),
                                  1000, 30000, 6000));
    const struct {
        const char* key;
        QLineEdit* box;
        QScrollBar* bar;
    } levels[] = {
        {"Red_Level", txtRed, hscRed}, {"Green_Level", txtGreen, hscGreen}, {"Blue_Level", txtBlue, hscBlue}};
    for (const auto& l : levels)
        l.box->setText(GetSetting(QString::fromLatin1(l.key), QStringLiteral("255")));
    for (const auto& l : levels) {
        const QString stored = GetSetting(QString::fromLatin1(l.key), QStringLiteral("255"));
        l.bar->setValue(fitToRange(stored, 0, 255, 255));
        // A level the box could never have accepted shows what the bar holds, so OK saves a level.
        if (fitToRange(stored, -1, 256, -1) != fitToRange(stored, 0, 255, -1))
            l.box->setText(QString::number(l.bar->value()));
    }
    hscMovingFrameSpeed->setValue(
        fitToRange(GetSetting(QStringLiteral("MovingMovieSpeed"), QStringLiteral("50")), 1, 1000, 50));
    // What the bar holds, not the stored text: a hand-edited note or a run of digits must neither
    // show nor size the box.
    txtFireGradient->setText(QString::number(HScroll1->value()));
    chkFloatingMovie->setChecked(
        fitToRange(GetSetting(QStringLiteral("MovieWillFloat"), QStringLiteral("1")), 0, 1, 1) == 1);
    chkTrails->setChecked(
        fitToRange(GetSetting(QStringLiteral("PictureTrails"), QStringLiteral("1")), 0, 1, 1) == 1);

    const struct {
        const char* key;
        runtime::OptionButton* option;
        bool fallback;
    } options[] = {{"AbsoluteFullScreenDisplayMode", optAbsoluteFullScreenVideo, false},
                   {"ThreeQuartersScreenMode", optThreeQuartersScreen, false},
                   {"OneHalfScreenDisplayMode", optOneHalf, false},
                   {"OneFourthScreenDisplayMode", optOneFourth, false},
                   {"OneEighthScreenDisplayMode", optOneEighth, true},
                   {"OneSixteenthScreenDisplayMode", optOneSixteenth, false},
                   {"PlaySingleFile", optSingleFile, true},
                   {"PlayMultipleFiles", optMultipleFiles, false}};
    for (const auto& o : options) {
        const QString fallback = boolToText(o.fallback);
        o.option->setChecked(runtime::boolOr(GetSetting(QString::fromLatin1(o.key), fallback), o.fallback));
    }

    if (optThreeQuartersScreen->isChecked()) chkGradOn->setEnabled(true);
    if (optAbsoluteFullScreenVideo->isChecked()) chkGradOn->setEnabled(false);

    chkTrails->setText(chkTrails->isChecked() ? QStringLiteral("Picture trails are ON")
                                              : QStringLiteral("Picture trails are OFF"));

    if (chkGradOn->isChecked()) {
        chkGradOn->setText(QStringLiteral("Gradient Background is ON"));
        for (QScrollBar* bar : {HScroll1, hscRed, hscGreen, hscBlue}) {
            bar->setEnabled(true);
            bar->show();
        }
    } else {
        chkGradOn->setText(QStringLiteral("Gradient background is OFF"));
        for (QScrollBar* bar : {HScroll1, hscRed, hscGreen, hscBlue}) {
            bar->setEnabled(false);
            bar->hide();
        }
        for (QWidget* w :
             std::initializer_list<QWidget*>{Label13, Label1, Label6, Label8, Label9, txtFireGradient, txtRed,
                                             txtGreen, txtBlue, chkTrails})
            w->hide();
    }

    if (!chkFloatingMovie->isChecked()) {
        Label2->setEnabled(false);
        chkFloatingMovie->setText(QStringLiteral("Stationary media. Restart at random position."));
        chkTrails->setEnabled(false);
        chkTrails->hide();
    } else {
        chkFloatingMovie->setText(QStringLiteral("Media will float while playing."));
        chkTrails->show();
    }

    if (!chkGradOn->isChecked()) chkTrails->hide();

    if (optAbsoluteFullScreenVideo->isChecked())
        for (QWidget* w :
             std::initializer_list<QWidget*>{chkFloatingMovie, chkTrails, hscMovingFrameSpeed, Label2})
            w->hide();

    setFireGradientWidth(315);
    applySecondsDisplay();
    reserveRunTimeWidths();

    layout()->activate();
    // As small as its contents allow: it fits a 1280 x 1024 screen even at double scale.
    resize(minimumSizeHint());
    centreOnScreen();
    // The first control that takes the focus, as a dialog of its kind starts.
    for (QWidget* w = optAbsoluteFullScreenVideo; w; w = w->nextInFocusChain()) {
        if (w->isEnabled() && !w->isHidden() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            break;
        }
        if (w->nextInFocusChain() == optAbsoluteFullScreenVideo) break;
    }
}

void frmConfigure::reserveRunTimeWidths() {
    // Room for every caption a check box can be given, so a click never widens the dialog or
    // shifts the frame beside it. Measured in the style the dialog will be shown in.
    ensurePolished();
    auto reserve = [](QAbstractButton* box, std::initializer_list<const char*> captions) {
        const QString shown = box->text();
        int widest = 0;
        for (const char* c : captions) {
            box->setText(QString::fromLatin1(c));
            widest = qMax(widest, box->sizeHint().width());
        }
        box->setText(shown);
        box->setMinimumWidth(widest);
    };
    reserve(chkFloatingMovie, {"Media will float while playing.", "Stationary media. Restart at random position.",
                               "Stationary Media. Will restart at random position."});
    reserve(chkGradOn, {"Gradient Background Is ON", "Gradient Background Is OFF", "Gradient Background is ON",
                        "Gradient background is OFF"});
    reserve(chkTrails, {"Picture trails are ON", "Picture trails are OFF"});
}

// ---- Saving, cancelling, restoring ----

bool frmConfigure::writeSettings(const std::function<void()>& writes, bool reportAlways) {
    try {
        writes();
        return true;
    } catch (const runtime::RuntimeError& e) {
        // A settings file left alone was explained as the program started: its own writes say nothing.
        if (!reportAlways && settingsLeftAlone()) return false;
        if (reportAlways || !m_writeFailureShown)
            platform::dialogs().messageBox(
                QStringLiteral("The settings could not be saved.\r\n\r\n%1").arg(QString::fromUtf8(e.what())),
                kExclamation, standardHelpTitle());
        m_writeFailureShown = true;
        return false;
    }
}

void frmConfigure::Command1_Click() {
    if (!levelsAccepted()) return;
    auto option = [](const runtime::OptionButton* o) { return boolToText(o->isChecked()); };
    // A store that cannot be written keeps the dialog open with the user's choices on it.
    const bool saved = writeSettings(
        [&] {
            SaveSetting(QStringLiteral("GradOn"), checkText(chkGradOn));
            SaveSetting(QStringLiteral("Red_Level"), txtRed->text());
            SaveSetting(QStringLiteral("Green_Level"), txtGreen->text());
            SaveSetting(QStringLiteral("Blue_Level"), txtBlue->text());
            SaveSetting(QStringLiteral("FireGradInterval"), QString::number(HScroll1->value()));
            SaveSetting(QStringLiteral("ThreeQuartersScreenMode"), option(optThreeQuartersScreen));
            SaveSetting(QStringLiteral("AbsoluteFullScreenDisplayMode"), option(optAbsoluteFullScreenVideo));
            SaveSetting(QStringLiteral("OneHalfScreenDisplayMode"), option(optOneHalf));
            SaveSetting(QStringLiteral("OneFourthScreenDisplayMode"), option(optOneFourth));
            SaveSetting(QStringLiteral("OneSixteenthScreenDisplayMode"), option(optOneSixteenth));
            SaveSetting(QStringLiteral("OneEighthScreenDisplayMode"), option(optOneEighth));
            SaveSetting(QStringLiteral("MovieWillFloat"), checkText(chkFloatingMovie));
            SaveSetting(QStringLiteral("MovingMovieSpeed"), QString::number(hscMovingFrameSpeed->value()));
            SaveSetting(QStringLiteral("PictureTrails"), checkText(chkTrails));
            SaveSetting(QStringLiteral("PlaySingleFile"), option(optSingleFile));
            SaveSetting(QStringLiteral("PlayMultipleFiles"), option(optMultipleFiles));
        },
        true);
    if (!saved) return;

    frmFileLister* lister = fileLister();
    m_playListCount = static_cast<int16_t>(lister ? lister->listCount() : 0);

    if (cmdChooseVideo->isEnabled() || m_playListCount != 0) {
        unloadFileLister();
        CloseWithShrink();
    } else {
        optSingleFile->setChecked(true);
        platform::dialogs().messageBox(kEmptyPlayList, kInformation, standardHelpTitle());
    }
}

void frmConfigure::Command3_Click() {
    unloadFileLister();
    CloseWithShrink();
}

void frmConfigure::Label3_Click() {
    Command3_Click();
}
void frmConfigure::mnuExitAndSaveChanges_Click() {
    Command1_Click();
}
void frmConfigure::mnuExitWithoutSavingChanges_Click() {
    Command3_Click();
}

void frmConfigure::cmdRestoreDefaults_Click() {
    writeSettings(
        [] {
            SaveSetting(QStringLiteral("GradOn"), QStringLiteral("1"));
            SaveSetting(QStringLiteral("Red_Level"), QStringLiteral("255"));
            SaveSetting(QStringLiteral("Green_Level"), QStringLiteral("100"));
            SaveSetting(QStringLiteral("Blue_Level"), QStringLiteral("255"));
            SaveSetting(QStringLiteral("FireGradInterval"), QStringLiteral("6000"));
            SaveSetting(QStringLiteral("VideoFile"), QString());
        },
        true);
    if (!optOneEighth->isChecked()) optOneEighth->setChecked(true);
    chkGradOn->setChecked(true);
    txtRed->setText(QStringLiteral("255"));
    txtGreen->setText(QStringLiteral("100"));
    txtBlue->setText(QStringLiteral("255"));
    txtFireGradient->setText(QStringLiteral("6000"));
    setFireGradientWidth(200);
}

// ---- Forms opened from here ----

void frmConfigure::showModalForm(const QString& name) {
    if (runtime::Form* f = runtime::forms().get(name)) f->ShowModal(this);
}

void frmConfigure::cmdChooseVideo_MouseUp(Qt::MouseButton button) {
    if (button == Qt::RightButton) showHelp(cmdChooseVideo->objectName(), button);
    showModalForm(QStringLiteral("frmChooseOrSearch"));
}

void frmConfigure::cmdChooseMultiples_Click() {
    if (frmFileLister* lister = fileLister()) lister->ShowModal(this);
}

void frmConfigure::mnuShowSoundControls_Click() {
    showModalForm(QStringLiteral("frmMixer"));
}

void frmConfigure::mnuShowMouseSensitivityControl_Click() {
    showModalForm(QStringLiteral("frmMouseSensitivity"));
}

void frmConfigure::mnuAbout_Click() {
    Unload();
    runtime::forms().show(QStringLiteral("frmCredits"));
}

void frmConfigure::mnuVisitWebSite_Click() {
    Unload();
    runtime::forms().show(QStringLiteral("frmURLACTION"));
}

void frmConfigure::Form_Terminate() {
    // The registry forgets every form as it unloads; the play-list editor goes with this dialog.
    unloadFileLister();
}

// ---- The label strip ----

void frmConfigure::lblFile_MouseDown(Qt::MouseButton button, QPoint globalPos) {
    if (button == Qt::LeftButton) runtime::popUpMenu(mnuFile, globalPos);
}
void frmConfigure::lblSoundControl_MouseDown(Qt::MouseButton button, QPoint globalPos) {
    if (button == Qt::LeftButton) runtime::popUpMenu(mnuSoundControls, globalPos);
}
void frmConfigure::lblMouse_MouseDown(Qt::MouseButton button, QPoint globalPos) {
    if (button == Qt::LeftButton) runtime::popUpMenu(mnuMouseSensitivity, globalPos);
}
void frmConfigure::lblBackColor_MouseDown(Qt::MouseButton button, QPoint globalPos) {
    if (button == Qt::LeftButton) runtime::popUpMenu(mnuColorControls, globalPos);
}
void frmConfigure::lblHelp_MouseDown(Qt::MouseButton button, QPoint globalPos) {
    if (button == Qt::LeftButton) runtime::popUpMenu(mnuHelpDocument, globalPos);
}

void frmConfigure::popUpUnder(runtime::ClickLabel* label, QMenu* menu) {
    runtime::popUpMenu(menu, label->mapToGlobal(QPoint(0, label->height())));
    if (!menu->actions().isEmpty()) menu->setActiveAction(menu->actions().first());
}

// ---- Help ----

void frmConfigure::showHelp(const QString& control, Qt::MouseButton button) {
    if (const HelpEntry* e = findHelp(control, button))
        platform::dialogs().messageBox(e->text, kInformation, e->title);
}

void frmConfigure::Form_MouseUp(Qt::MouseButton button) {
    showHelp(objectName(), button);
}

void frmConfigure::mnuSubHelp_Click() {
    platform::dialogs().messageBox(generalHelpText(), kInformation, standardHelpTitle());
}

// ---- Events of the window itself ----

void frmConfigure::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void frmConfigure::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    // Only the dialog's own surface: a release that a control let through is not the dialog's.
    if (childAt(event->position().toPoint())) return;
    Form_MouseUp(event->button());
}

void frmConfigure::paintEvent(QPaintEvent*) {
    // Without a title bar the window draws its own fixed border.
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::Dark), 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

bool frmConfigure::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1) {
        const bool mouse = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove ||
                           event->type() == QEvent::MouseButtonRelease;
        if (!mouse) return false;
        auto* me = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress) {
            if (me->button() != Qt::LeftButton) return false;
            // The window manager moves it where there is one; otherwise it follows the pointer.
            if (windowHandle() && windowHandle()->startSystemMove()) return true;
            m_dragging = true;
            m_dragOffset = me->globalPosition().toPoint() - frameGeometry().topLeft();
            return true;
        }
        if (event->type() == QEvent::MouseMove) {
            if (m_dragging) move(me->globalPosition().toPoint() - m_dragOffset);
            return m_dragging;
        }
        if (me->button() == Qt::LeftButton && m_dragging) {
            m_dragging = false;
            return true;
        }
        return false;
    }
    if (watched == chkGradOn && (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)) {
        chkGradOn_MouseMove();
        return false;
    }
    if (auto* box = qobject_cast<QLineEdit*>(watched);
        box && (box == txtRed || box == txtGreen || box == txtBlue)) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            // Only keys that type a character count; the arrows and Delete edit as usual, and Tab,
            // Enter and Esc belong to the dialog.
            const bool dialogKey = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
                                   key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                                   key->key() == Qt::Key_Escape;
            if (!dialogKey && text.size() == 1 && !colourLevel_KeyPress(box, text.at(0).unicode()))
                return true;
        } else if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // Another window coming up (a message, a menu) is not leaving the box.
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                colourLevel_LostFocus(box);
        }
    }
    return false;
}

// ---- Desktop shortcut ----

void frmConfigure::mnuCreateDesktopShortcut_Click() {
    runtime::WaitCursor wait;
    const QString icon = platform::system().windowsDirectory() + QStringLiteral("/lumora.svg");
    // Nothing is said either way, as with any shortcut a program offers to make.
    if (!writeDesktopShortcut(platform::desktop().desktopFolder(), QStringLiteral("Lumora"),
                              QCoreApplication::applicationFilePath(),
                              QFileInfo::exists(icon) ? icon : QStringLiteral("lumora")))
        qWarning("The desktop shortcut could not be written");
}
