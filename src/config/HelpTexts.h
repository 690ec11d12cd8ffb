#pragma once
#include <QList>
#include <QString>

// The configuration dialog's help: releasing a mouse button over a control shows its text.
struct HelpEntry {
    QString control; // object name; "frmConfigure" is the dialog's own surface
    Qt::MouseButton button;
    QString text;
    QString title;
};

QString standardHelpTitle();
const QList<HelpEntry>& configureHelpTexts();
// Null when the control has no help for that button.
const HelpEntry* findHelp(const QString& control, Qt::MouseButton button);
// The text of the "Help" menu item.
QString generalHelpText();
