#include "config/frmConfigure.h"

// How the dialog is built: its controls, menus, label strip and layout, and the room its captions
// need. What the controls do is in frmConfigure.cpp, ConfigureOptions.cpp and ConfigureColours.cpp.

#include "runtime/Twips.h"
#include "runtime/Controls.h"
#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <tuple>

namespace {

QScrollBar* scrollBar(QWidget* parent, const char* name, int min, int max, int small, int large) {
    // The style shows no keyboard focus on a scroll bar: every Tab stop must show where it is.
    auto* bar = new runtime::ShowsFocus<QScrollBar>(Qt::Horizontal, parent);
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
        auto* b = new runtime::ShowsFocus<QPushButton>(caption, this);
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
    lblMonitors = clickLabel("lblMonitors", QStringLiteral("Monitors"));
    lblBackColor = clickLabel("lblBackColor", QStringLiteral("Color"));
    lblHelp = clickLabel("lblHelp", QStringLiteral("Help"));
    Label4 = label(new QLabel(this), "Label4");
    Label7 = label(new QLabel(this), "Label7");
    Label10 = label(new QLabel(this), "Label10");
    Label11 = label(new QLabel(this), "Label11");
    Label12 = label(new QLabel(this), "Label12");
    Label14 = label(new QLabel(this), "Label14");
    Label15 = label(new QLabel(this), "Label15");
    Label16 = label(new QLabel(this), "Label16");
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
    mnuMonitors = menu("mnuMonitors", QStringLiteral("Mo&nitors"));
    mnuShowMonitors = item(mnuMonitors, "mnuShowMonitors", QStringLiteral("Show Monitors Control"));
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
    // is the Cancel button's, and Monitors its "n", since Alt+M is Mouse's and Alt+O the OK button's.
    const struct {
        runtime::ClickLabel* label;
        QLabel* separator;
        int underlined;
    } items[] = {{lblFile, Label10, 0},
                 {lblSoundControl, Label11, 0},
                 {lblMouse, Label12, 0},
                 {lblMonitors, Label16, 2},
                 {lblBackColor, Label14, 2},
                 {lblHelp, Label15, 0}};
    for (const auto& it : items) {
        const QString caption = it.label->text();
        it.label->setTextFormat(Qt::RichText);
        it.label->setText(caption.left(it.underlined) + QStringLiteral("<u>") +
                          caption.mid(it.underlined, 1) + QStringLiteral("</u>") +
                          caption.mid(it.underlined + 1));
        // Tight, so that six menus and the banner still fit a 1280-pixel screen at double scale.
        it.label->setContentsMargins(5, 3, 5, 3);
        it.label->setCursor(Qt::PointingHandCursor);
        row->addWidget(it.label);
        it.separator->setFrameShape(QFrame::VLine);
        it.separator->setFrameShadow(QFrame::Sunken);
        row->addWidget(it.separator);
    }
    // The banner sits in the strip, so the dialog fits a small screen at double scale.
    row->addStretch(1);
    row->addWidget(Image1);
    row->addSpacing(6);
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
