#pragma once
#include "runtime/Controls.h"
#include "runtime/Form.h"
#include <QPoint>
#include <cstdint>
#include <functional>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;

// The settings screen: display mode, floating, gradient colours and interval, trails, back colour,
// single file or play list; it opens the play-list editor, the source chooser and the small dialogs.
// Most values are written on OK; a display-mode click writes Key::GradOn, the colour dialog
// Key::BackDropColor and Restore Defaults its values at once.
class frmConfigure : public runtime::Form {
    Q_OBJECT
public:
    frmConfigure();


    // The playlist count that OK last found.
    int16_t playListCount() const { return m_playListCount; }
    // The width txtFireGradient was last given, in twips.
    int fireGradientWidthTwips() const { return m_fireGradientWidthTwips; }
    // The colour the colour dialog offers next; none until it has been opened once.
    bool hasLastChosenColor() const { return m_colorDialogOpened; }

    // Loading, saving, cancelling, restoring
    void Command1_Click();
    void Command3_Click();
    void Label3_Click();
    void cmdRestoreDefaults_Click();
    void cmdChooseVideo_MouseUp(Qt::MouseButton button);
    void cmdChooseMultiples_Click();
    void mnuExitAndSaveChanges_Click();
    void mnuExitWithoutSavingChanges_Click();
    void mnuShowSoundControls_Click();
    void mnuShowMouseSensitivityControl_Click();
    void mnuShowMonitors_Click();
    void mnuAbout_Click();
    void lblFile_MouseDown(Qt::MouseButton button, QPoint globalPos);
    void lblSoundControl_MouseDown(Qt::MouseButton button, QPoint globalPos);
    void lblMouse_MouseDown(Qt::MouseButton button, QPoint globalPos);
    void lblMonitors_MouseDown(Qt::MouseButton button, QPoint globalPos);
    void lblBackColor_MouseDown(Qt::MouseButton button, QPoint globalPos);
    void lblHelp_MouseDown(Qt::MouseButton button, QPoint globalPos);

    // Display mode and motion
    void optAbsoluteFullScreenVideo_Click();
    void optThreeQuartersScreen_Click();
    void optOneHalf_Click();
    void optOneFourth_Click();
    void optOneEighth_Click();
    void optOneSixteenth_Click();
    void chkFloatingMovie_Click();
    void chkTrails_Click();
    void chkGradOn_MouseMove();
    void optSingleFile_Click();
    void optMultipleFiles_Click();

    // Gradient and colours
    void chkGradOn_Click();
    void hscRed_Change();
    void hscGreen_Change();
    void hscBlue_Change();
    // False when the key is refused (it beeps and types nothing).
    bool colourLevel_KeyPress(QLineEdit* box, int keyAscii);
    void colourLevel_LostFocus(QLineEdit* box);
    static bool levelAccepted(const QString& text);
    // OK saves no level the boxes would refuse: the rule is shown and the focus goes to the box.
    bool levelsAccepted();
    void HScroll1_Change();
    void mnuBackColorControl_Click();

    // Help, shortcut, web site
    void showHelp(const QString& control, Qt::MouseButton button);
    void Form_MouseUp(Qt::MouseButton button);
    void mnuSubHelp_Click();
    void mnuCreateDesktopShortcut_Click();
    void mnuVisitWebSite_Click();

protected:
    void Form_Load() override;
    void Form_Terminate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    QWidget* createStrip();
    void createMenus();
    void layOut();
    void connectHandlers();
    void partialMode_Click(runtime::OptionButton* option);
    void setFireGradientWidth(int twips);
    void applySecondsDisplay();
    void reserveRunTimeWidths();
    void popUpUnder(runtime::ClickLabel* label, QMenu* menu, bool highlightFirst);
    void showModalForm(const QString& name);
    // Runs the writes; a store that cannot be written is reported (always, or once per dialog for
    // the writes that happen by the way) and gives false.
    bool writeSettings(const std::function<void()>& writes, bool reportAlways);

    runtime::OptionGroup* m_modes = nullptr;
    runtime::OptionGroup* m_sources = nullptr;
    int16_t m_playListCount = 0;
    int m_fireGradientWidthTwips = 0;
    bool m_colorDialogOpened = false;
    uint32_t m_lastChosenColor = 0;
    // A colour box's message is on its way or on screen: leaving a box now is not the user's doing.
    bool m_validating = false;
    bool m_writeFailureShown = false;
    QPoint m_dragOffset;
    bool m_dragging = false;

    // Controls carry their names (setObjectName), by which the tests find them.
    // Frames
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame3 = nullptr;

    // Display mode and motion
    QCheckBox* chkFloatingMovie = nullptr;
    QScrollBar* hscMovingFrameSpeed = nullptr;
    runtime::ClickLabel* Label2 = nullptr;
    runtime::OptionButton* optThreeQuartersScreen = nullptr;
    runtime::OptionButton* optOneEighth = nullptr;
    runtime::OptionButton* optAbsoluteFullScreenVideo = nullptr;
    runtime::OptionButton* optOneHalf = nullptr;
    runtime::OptionButton* optOneFourth = nullptr;
    runtime::OptionButton* optOneSixteenth = nullptr;

    // Media source
    runtime::OptionButton* optMultipleFiles = nullptr;
    runtime::OptionButton* optSingleFile = nullptr;
    QPushButton* cmdChooseVideo = nullptr;
    QPushButton* cmdChooseMultiples = nullptr;
    QPushButton* cmdRestoreDefaults = nullptr;

    // Gradient
    QCheckBox* chkTrails = nullptr;
    QCheckBox* chkGradOn = nullptr;
    QScrollBar* hscRed = nullptr;
    QScrollBar* hscGreen = nullptr;
    QScrollBar* hscBlue = nullptr;
    QLineEdit* txtRed = nullptr;
    QLineEdit* txtGreen = nullptr;
    QLineEdit* txtBlue = nullptr;
    runtime::ClickLabel* Label6 = nullptr;
    runtime::ClickLabel* Label8 = nullptr;
    runtime::ClickLabel* Label9 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QLineEdit* txtFireGradient = nullptr;
    runtime::ClickLabel* Label13 = nullptr;
    QLabel* Label1 = nullptr;

    // Banner, label strip, close box, decoration
    QLabel* Image1 = nullptr;
    runtime::ClickLabel* lblFile = nullptr;
    runtime::ClickLabel* lblSoundControl = nullptr;
    runtime::ClickLabel* lblMouse = nullptr;
    runtime::ClickLabel* lblMonitors = nullptr;
    runtime::ClickLabel* lblBackColor = nullptr;
    runtime::ClickLabel* lblHelp = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    runtime::ClickLabel* Label3 = nullptr;

    QPushButton* Command1 = nullptr;
    QPushButton* Command3 = nullptr;

    // Menus, popped up from the label strip
    QMenu* mnuFile = nullptr;
    QAction* mnuCreateDesktopShortcut = nullptr;
    QAction* mnuExitWithoutSavingChanges = nullptr;
    QAction* mnuExitAndSaveChanges = nullptr;
    QMenu* mnuSoundControls = nullptr;
    QAction* mnuShowSoundControls = nullptr;
    QMenu* mnuMouseSensitivity = nullptr;
    QAction* mnuShowMouseSensitivityControl = nullptr;
    QMenu* mnuMonitors = nullptr;
    QAction* mnuShowMonitors = nullptr;
    QMenu* mnuColorControls = nullptr;
    QAction* mnuBackColorControl = nullptr;
    QMenu* mnuHelpDocument = nullptr;
    QAction* mnuSubHelp = nullptr;
    QAction* mnuVisitWebSite = nullptr;
    QAction* mnuAbout = nullptr;
};
