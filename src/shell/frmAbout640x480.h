#pragma once
#include <QLabel>
#include <QTimer>
#include "runtime/Form.h"

// The start-up splash of the configure switch: shows for 4000 ms or until clicked, shrinks away and
// leaves the configuration dialog behind.
class frmAbout640x480 : public runtime::Form {
    Q_OBJECT
public:
    frmAbout640x480();

    QLabel* picture = nullptr;
    QLabel* lblVideo = nullptr;
    QLabel* lblScreensaver = nullptr;
    QLabel* lblVersion = nullptr;
    QTimer* tmrUnloadMe = nullptr;

    void tmrUnloadMe_Timer();
    void picture_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
