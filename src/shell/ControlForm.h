#pragma once
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include "platform/Platform.h"
#include "runtime/Form.h"

// The picture box of the preview: shows its picture stretched over a larger area, and from the
// top-left corner as much as fits in a smaller one.
class PreviewPicture : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPicture(QWidget* parent = nullptr);
    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};

// The hidden preview form of the /p switch: lends Picture1 to the desktop's preview window and
// closes, ending the program, when that window goes away or asks the picture to close.
class ControlForm : public runtime::Form {
    Q_OBJECT
public:
    static constexpr int kPictureWidth = 152;
    static constexpr int kPictureHeight = 112;

    ControlForm();

    PreviewPicture* Picture1 = nullptr;
    QTimer* Timer1 = nullptr;

    void Timer1_Timer();

    // preview.png from the data folder, or a drawn picture when that file is missing or unreadable.
    static QImage previewPicture();
    static QImage drawnPreviewPicture();

protected:
    void Form_Load() override;
    void Form_Unload() override;
};

namespace VIDEOSCR {

// True from the moment the picture is in the host window until the host asks it to close.
extern bool PreviewActive;
// The host window's client area.
extern platform::WindowRect PreviewClientRect;

// Stands in for the picture's replaced window procedure while it is lent: a close request from the
// host takes the picture back instead of closing it; everything else reaches the picture unchanged.
class PreviewWindowProc : public QObject {
    Q_OBJECT
public:
    PreviewWindowProc(QWidget* picture, QWidget* form);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_picture;
    QPointer<QWidget> m_form;
};

// The hook on the lent picture; null when none is installed.
extern QPointer<PreviewWindowProc> PreviewHook;

// Hooks the picture, whose parent is its form at that moment.
void HookPreviewPicture(QWidget* window);
// Removes the hook if there is one.
void UnhookPreviewPicture(QWidget* window);

} // namespace VIDEOSCR
