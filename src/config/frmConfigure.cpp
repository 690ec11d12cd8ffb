#include "config/frmConfigure.h"

#include "config/DesktopShortcut.h"
#include "config/HelpTexts.h"
#include "platform/Platform.h"
#include "playlist/PlayList.h"
#include "playlist/frmFileLister.h"
#include "base/Convert.h"
#include "runtime/FormRegistry.h"
#include "base/RuntimeError.h"
#include "platform/Settings.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QWindow>

using runtime::fitToRange;
using settings::Key;

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

// A check box as stored: 1 checked, 0 not.
int checkValue(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

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
    connect(mnuShowMonitors, &QAction::triggered, this, &frmConfigure::mnuShowMonitors_Click);
    connect(mnuBackColorControl, &QAction::triggered, this, &frmConfigure::mnuBackColorControl_Click);
    connect(mnuSubHelp, &QAction::triggered, this, &frmConfigure::mnuSubHelp_Click);
    connect(mnuVisitWebSite, &QAction::triggered, this, &frmConfigure::mnuVisitWebSite_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmConfigure::mnuAbout_Click);

    connect(lblFile, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblFile_MouseDown);
    connect(lblSoundControl, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblSoundControl_MouseDown);
    connect(lblMouse, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblMouse_MouseDown);
    connect(lblMonitors, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblMonitors_MouseDown);
    connect(lblBackColor, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblBackColor_MouseDown);
    connect(lblHelp, &runtime::ClickLabel::mouseDown, this, &frmConfigure::lblHelp_MouseDown);
    const struct {
        Qt::Key key;
        runtime::ClickLabel* label;
        QMenu* menu;
    } keys[] = {{Qt::Key_F, lblFile, mnuFile},
                {Qt::Key_S, lblSoundControl, mnuSoundControls},
                {Qt::Key_M, lblMouse, mnuMouseSensitivity},
                {Qt::Key_N, lblMonitors, mnuMonitors},
                {Qt::Key_L, lblBackColor, mnuColorControls},
                {Qt::Key_H, lblHelp, mnuHelpDocument}};
    for (const auto& k : keys) {
        auto* s = new QShortcut(QKeySequence(Qt::ALT | k.key), this);
        connect(s, &QShortcut::activated, this, [this, k] { popUpUnder(k.label, k.menu, true); });
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
    chkGradOn->setChecked(settings::readInRange(Key::GradOn, 0, 1) == 1);
    HScroll1->setValue(settings::readInRange(Key::FireGradInterval, 1000, 30000));
    const struct {
        settings::TextKey key;
        QLineEdit* box;
        QScrollBar* bar;
    } levels[] = {{Key::Red_Level, txtRed, hscRed},
                  {Key::Green_Level, txtGreen, hscGreen},
                  {Key::Blue_Level, txtBlue, hscBlue}};
    for (const auto& l : levels)
        l.box->setText(settings::read(l.key));
    for (const auto& l : levels) {
        const QString stored = settings::read(l.key);
        l.bar->setValue(fitToRange(stored, 0, 255, settings::defaultNumber(l.key)));
        // A level the box could never have accepted shows what the bar holds, so OK saves a level.
        if (fitToRange(stored, -1, 256, -1) != fitToRange(stored, 0, 255, -1))
            l.box->setText(QString::number(l.bar->value()));
    }
    hscMovingFrameSpeed->setValue(settings::readInRange(Key::MovingMovieSpeed, 1, 1000));
    // What the bar holds, not the stored text: a hand-edited note or a run of digits must neither
    // show nor size the box.
    txtFireGradient->setText(QString::number(HScroll1->value()));
    chkFloatingMovie->setChecked(settings::readInRange(Key::MovieWillFloat, 0, 1) == 1);
    chkTrails->setChecked(settings::readInRange(Key::PictureTrails, 0, 1) == 1);

    const struct {
        settings::FlagKey key;
        runtime::OptionButton* option;
    } options[] = {{Key::AbsoluteFullScreenDisplayMode, optAbsoluteFullScreenVideo},
                   {Key::ThreeQuartersScreenMode, optThreeQuartersScreen},
                   {Key::OneHalfScreenDisplayMode, optOneHalf},
                   {Key::OneFourthScreenDisplayMode, optOneFourth},
                   {Key::OneEighthScreenDisplayMode, optOneEighth},
                   {Key::OneSixteenthScreenDisplayMode, optOneSixteenth},
                   {Key::PlaySingleFile, optSingleFile},
                   {Key::PlayMultipleFiles, optMultipleFiles}};
    for (const auto& o : options)
        o.option->setChecked(settings::readOrDefault(o.key));

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
    // As small as its contents allow: it fits a 1280 x 1024 screen even at double scale. Fixed, so
    // that tiling compositors float it at this size rather than stretch it over the output.
    setFixedSize(minimumSizeHint());
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

// ---- Saving, cancelling, restoring ----

bool frmConfigure::writeSettings(const std::function<void()>& writes, bool reportAlways) {
    try {
        // What one action writes is one save: a store that fails part way keeps none of it.
        settings::SaveTogether together;
        writes();
        together.commit();
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
    // A store that cannot be written keeps the dialog open with the user's choices on it.
    const bool saved = writeSettings(
        [&] {
            settings::save(Key::GradOn, checkValue(chkGradOn));
            settings::save(Key::Red_Level, txtRed->text());
            settings::save(Key::Green_Level, txtGreen->text());
            settings::save(Key::Blue_Level, txtBlue->text());
            settings::save(Key::FireGradInterval, HScroll1->value());
            settings::save(Key::ThreeQuartersScreenMode, optThreeQuartersScreen->isChecked());
            settings::save(Key::AbsoluteFullScreenDisplayMode, optAbsoluteFullScreenVideo->isChecked());
            settings::save(Key::OneHalfScreenDisplayMode, optOneHalf->isChecked());
            settings::save(Key::OneFourthScreenDisplayMode, optOneFourth->isChecked());
            settings::save(Key::OneSixteenthScreenDisplayMode, optOneSixteenth->isChecked());
            settings::save(Key::OneEighthScreenDisplayMode, optOneEighth->isChecked());
            settings::save(Key::MovieWillFloat, checkValue(chkFloatingMovie));
            settings::save(Key::MovingMovieSpeed, hscMovingFrameSpeed->value());
            settings::save(Key::PictureTrails, checkValue(chkTrails));
            settings::save(Key::PlaySingleFile, optSingleFile->isChecked());
            settings::save(Key::PlayMultipleFiles, optMultipleFiles->isChecked());
        },
        true);
    if (!saved) return;

    m_playListCount = static_cast<int16_t>(playList().count());

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
            settings::save(Key::GradOn, 1);
            settings::save(Key::Red_Level, QStringLiteral("255"));
            settings::save(Key::Green_Level, QStringLiteral("100"));
            settings::save(Key::Blue_Level, QStringLiteral("255"));
            settings::save(Key::FireGradInterval, 6000);
            settings::save(Key::VideoFile, QString());
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

void frmConfigure::mnuShowMonitors_Click() {
    showModalForm(QStringLiteral("frmMonitors"));
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
// A title opens its menu below itself, as a menu bar does, whether clicked or
// reached with Alt+key; only the keyboard highlights the first item.

void frmConfigure::lblFile_MouseDown(Qt::MouseButton button, QPoint) {
    if (button == Qt::LeftButton) popUpUnder(lblFile, mnuFile, false);
}
void frmConfigure::lblSoundControl_MouseDown(Qt::MouseButton button, QPoint) {
    if (button == Qt::LeftButton) popUpUnder(lblSoundControl, mnuSoundControls, false);
}
void frmConfigure::lblMouse_MouseDown(Qt::MouseButton button, QPoint) {
    if (button == Qt::LeftButton) popUpUnder(lblMouse, mnuMouseSensitivity, false);
}
void frmConfigure::lblMonitors_MouseDown(Qt::MouseButton button, QPoint) {
    if (button == Qt::LeftButton) popUpUnder(lblMonitors, mnuMonitors, false);
}
void frmConfigure::lblBackColor_MouseDown(Qt::MouseButton button, QPoint) {
    if (button == Qt::LeftButton) popUpUnder(lblBackColor, mnuColorControls, false);
}
void frmConfigure::lblHelp_MouseDown(Qt::MouseButton button, QPoint) {
    if (button == Qt::LeftButton) popUpUnder(lblHelp, mnuHelpDocument, false);
}

void frmConfigure::popUpUnder(runtime::ClickLabel* label, QMenu* menu, bool highlightFirst) {
    runtime::popUpMenu(menu, label->mapToGlobal(QPoint(0, label->height())));
    if (highlightFirst && !menu->actions().isEmpty()) menu->setActiveAction(menu->actions().first());
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
