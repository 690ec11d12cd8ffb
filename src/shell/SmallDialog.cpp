#include "shell/SmallDialog.h"

#include "platform/Platform.h"
#include "platform/Settings.h"
#include "runtime/Controls.h"
#include "base/RuntimeError.h"
#include "runtime/Twips.h"
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

namespace {
const QString kNoticeTitle = QStringLiteral("Larkspur Software Lumora Video & Multimedia Screensaver");
constexpr int kExclamation = 48;
} // namespace

SmallDialog::SmallDialog(const QString& name, const QString& title) : runtime::Form(name) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(title);
}

runtime::ClickLabel* SmallDialog::buttonLabel(const QString& caption, const char* name) {
    auto* label = named(new runtime::ClickLabel(caption), name);
    label->setCursor(Qt::PointingHandCursor);
    label->setAlignment(Qt::AlignCenter);
    QFont underlined = label->font();
    underlined.setUnderline(true);
    label->setFont(underlined);
    return label;
}

QDialogButtonBox* SmallDialog::okCancelButtons(const QString& okCaption, const char* okName, QPushButton*& ok,
                                               const char* cancelName, QPushButton*& cancel) {
    ok = named(new runtime::ShowsFocus<QPushButton>(okCaption), okName);
    cancel = named(new runtime::ShowsFocus<QPushButton>(QStringLiteral("&Cancel")), cancelName);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    setDialogButtons(ok, cancel);
    return buttons;
}

void SmallDialog::fixClientSize(QLayout* layout, int widthTwips, int heightTwips) {
    // The layout must not hold the window at its minimum, or the shrink-and-close could not shrink it.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    const QSize least = layout->totalMinimumSize();
    const int width = std::max(runtime::twipsToPixels(widthTwips), least.width());
    int height = std::max(runtime::twipsToPixels(heightTwips), least.height());
    if (layout->hasHeightForWidth()) height = std::max(height, layout->totalHeightForWidth(width));
    setFixedSize(width, height);
}

void SmallDialog::setDialogButtons(QPushButton* ok, QPushButton* cancel) {
    m_ok = ok;
    m_cancel = cancel;
    // Enter on a focused button presses that button, as in any dialog; elsewhere it presses OK.
    ok->setAutoDefault(true);
    cancel->setAutoDefault(true);
    ok->setDefault(true);
}

void SmallDialog::closeWithShrink() {
    if (isShrinking()) return;
    CloseWithShrink();
}

bool SmallDialog::saveSettings(const std::function<void()>& saves) {
    try {
        // The dialog's values are kept all together or not at all.
        settings::SaveTogether together;
        saves();
        together.commit();
        return true;
    } catch (const runtime::RuntimeError& e) {
        notice(QStringLiteral("The changes were not saved.\r\n\r\n%1").arg(QString::fromUtf8(e.what())));
        return false;
    }
}

void SmallDialog::notice(const QString& text) {
    platform::dialogs().messageBox(text, kExclamation, kNoticeTitle);
}

void SmallDialog::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        QPushButton* target = nullptr;
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            target = m_ok;
        else if (event->key() == Qt::Key_Escape)
            target = m_cancel;
        if (target && target->isEnabled()) {
            target->click();
            return;
        }
    }
    runtime::Form::keyPressEvent(event);
}

MenuDialog::MenuDialog(const QString& name, const QString& title) : SmallDialog(name, title) {
    menuBar = named(new QMenuBar(this), "menuBar");
    mnuFile = named(menuBar->addMenu(QStringLiteral("&File")), "mnuFile");
    Label1 = named(new runtime::ClickLabel(QStringLiteral("X")), "Label1");
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setContentsMargins(8, 0, 8, 0);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    menuBar->setCornerWidget(Label1, Qt::TopRightCorner);
}

SaveMenuDialog::SaveMenuDialog(const QString& name, const QString& title) : MenuDialog(name, title) {
    mnuExitWithoutSavingChanges =
        named(mnuFile->addAction(QStringLiteral("Exit &Without Saving Changes")), "mnuExitWithoutSavingChanges");
    mnuFile->addSeparator();
    mnuExitAndSaveChanges =
        named(mnuFile->addAction(QStringLiteral("Exit And &Save Changes")), "mnuExitAndSaveChanges");
}
