#include "config/HelpTexts.h"

#include "about/WebSite.h"

namespace {

#define kColourLevels                                                                                        \
    "The scroll bars to the right control the level of color used in the screensaver's gradient "            \
    "background.  A low setting for all three colors will produce a very small gradient near the top of "    \
    "the screen, that may not be visible, depending on how low the setting is.  A setting of 255 for Red "   \
    "and 0 for Green and 0 for Blue will produce a Red Only gradient background that will have different "   \
    "levels visible on the screen as it changes.  In the same way, a setting of 0 Red, 255 Green, and 0 "    \
    "Blue will produce an all green gradient of varying levels as it changes and so on."
#define kFloatingEnding                                                                                      \
    "Using other controls on this window, the floating speed can be controlled and the media file can even " \
    "be made to play from one location and when finished, start over in another location at random."

} // namespace

QString standardHelpTitle() {
    return QStringLiteral("Larkspur Software") + QStringLiteral(" Lumora Video & Multimedia Screensaver");
}

const QList<HelpEntry>& configureHelpTexts() {
    static const QList<HelpEntry> table = {
        {QStringLiteral("frmConfigure"), Qt::RightButton,
         QStringLiteral(
             "Clicking in this check box will either show or remove a check mark.  It checked, the media "
             "file will float around the screen as it plays and bump off of the edges.  If unchecked, the "
             "media file will start to play from the top left corner and upon ending will start over at a "
             "random location on the screen. If checked, the floating speed of the multimedia file can be "
             "controlled using the scroll bar control to the right of the check box."),
         standardHelpTitle()},
        {QStringLiteral("chkGradOn"), Qt::RightButton,
         QStringLiteral("This check box turns the gradient background either on or off."),
         standardHelpTitle()},
        {QStringLiteral("chkTrails"), Qt::RightButton,
         QStringLiteral("If this check box is checked, the media file will leave trails in the gradient "
                        "background as it plays and floats across the screen.  The backcolor that is chosen "
                        "will show through the gradient in the trail left by the floating media file."),
         standardHelpTitle()},
        {QStringLiteral("cmdChooseVideo"), Qt::RightButton,
         QStringLiteral(
             "The multimedia files that the screensaver displays can be chosen using this button."),
         standardHelpTitle()},
        {QStringLiteral("Command1"), Qt::RightButton,
         QStringLiteral("Clicking the OK button saves all changes and closes this window."),
         standardHelpTitle()},
        {QStringLiteral("Command3"), Qt::RightButton,
         QStringLiteral("The Cancel button closes this screen and does not save changes to this screen."),
         standardHelpTitle()},
        {QStringLiteral("Label13"), Qt::RightButton,
         QStringLiteral("The gradient background can be made to change from every 1 second up to 30 seconds "
                        "using the scroll bar control below."),
         standardHelpTitle()},
        {QStringLiteral("Label2"), Qt::RightButton,
         QStringLiteral("Some computers process code very quickly and can cause the floating multimedia file "
                        "to float across the screen too fast to enjoy.  Use the scroll bar control to slow "
                        "the floating speed down if necessary."),
         standardHelpTitle()},
        {QStringLiteral("Label6"), Qt::RightButton, QStringLiteral(kColourLevels), standardHelpTitle()},
        {QStringLiteral("Label8"), Qt::RightButton, QStringLiteral(kColourLevels), standardHelpTitle()},
        {QStringLiteral("Label9"), Qt::RightButton, QStringLiteral(kColourLevels), standardHelpTitle()},
        {QStringLiteral("optAbsoluteFullScreenVideo"), Qt::RightButton,
         QStringLiteral("Selecting this option will display the multimedia file in Full Screen."),
         standardHelpTitle()},
        {QStringLiteral("optAbsoluteFullScreenVideo"), Qt::LeftButton,
         QStringLiteral("If the screensaver exhibits difficulty in displaying the media file using this "
                        "mode, click 'Mouse' in the menu bar above and read the 'Help' message in the 'Mouse "
                        "Sensitivity Control' window."),
         QStringLiteral("Helpful Tip for using FULL Screen Mode")},
        {QStringLiteral("optThreeQuartersScreen"), Qt::RightButton,
         QStringLiteral("Choosing this option will show the media file in three-quarters screen mode.  The "
                        "gradient background can be turned on and off and the color depths can be "
                        "controlled, as well as how often they change."),
         standardHelpTitle()},
        {QStringLiteral("optOneFourth"), Qt::RightButton,
         QStringLiteral("Choosing this option will cause the media file to be played in a window that is "
                        "one-fourth of the screen area.  This window can be made to float around on the "
                        "screen while bumping off of the edges.  " kFloatingEnding),
         standardHelpTitle()},
        {QStringLiteral("optOneHalf"), Qt::RightButton,
         QStringLiteral("Choosing this option will cause the media file to be played in a window that is "
                        "one-half of the screen area.  This screen can be made to float around while bumping "
                        "off of the edges.  " kFloatingEnding),
         standardHelpTitle()},
        {QStringLiteral("optOneEighth"), Qt::RightButton,
         QStringLiteral("Choosing this option will cause the media file to be played in a window that is a "
                        "little smaller than the one-fourth screen size.  This window can be made to float "
                        "around on the screen while bumping off of the edges.  " kFloatingEnding),
         standardHelpTitle()},
        {QStringLiteral("optOneSixteenth"), Qt::RightButton,
         QStringLiteral("Choosing this option will cause the media file to be played in a window that is "
                        "one-sixteenth of the screen area.  This window can be made to float around on the "
                        "screen while bumping off of the edges.  " kFloatingEnding),
         standardHelpTitle()},
    };
    return table;
}

const HelpEntry* findHelp(const QString& control, Qt::MouseButton button) {
    for (const HelpEntry& e : configureHelpTexts())
        if (e.control == control && e.button == button) return &e;
    return nullptr;
}

QString generalHelpText() {
    return QStringLiteral(
               "Help messages can be found by clicking with the Right Mouse Button on nearly any control or "
               "label on most screens.  Up to date Internet web based help can be found at ") +
           makerWebAddress() +
           QStringLiteral(
               " or by contacting Larkspur Software  with information on the 'About this program' screen.");
}
