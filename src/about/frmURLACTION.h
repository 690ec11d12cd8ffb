#pragma once
#include "about/BoxedForm.h"
#include <QPixmap>

class QLabel;
class QLineEdit;
class QPushButton;
namespace runtime {
class ClickLabel;
}

// The web-link form: shows the maker's address in an editable box and as a link, opens it in the
// user's web browser, and leads back to the configuration dialog through its close box.
class frmURLACTION : public about::BoxedForm {
    Q_OBJECT
public:
    frmURLACTION();

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    runtime::ClickLabel* lblLink = nullptr;
    QPushButton* Command1 = nullptr;
    runtime::ClickLabel* Label2 = nullptr;

    // A small globe, drawn rather than shipped.
    static QPixmap globePicture();

    void Text1_Change();
    void Text1_GotFocus();
    // Sets keyAscii to 0 when the key is used up.
    void Text1_KeyPress(int& keyAscii);
    void Command1_Click();
    void lblLink_Click();
    void Label2_Click();

protected:
    void closeBox() override { Label2_Click(); }
    void Form_Load() override;
    void Form_Terminate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens the address in the user's program for it; text that is no web address opens nothing.
    bool HyperJump(const QString& url);
};
