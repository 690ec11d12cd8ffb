#pragma once
#include "about/BoxedForm.h"

class QLabel;
class QPushButton;
namespace runtime {
class ClickLabel;
}

// The credits: the program, its version, its maker and the maker's web address. OK and the close box
// lead back to the configuration dialog; the address leads to the web-link form.
class frmCredits : public about::BoxedForm {
    Q_OBJECT
public:
    frmCredits();

    QLabel* Image1 = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCompany = nullptr;
    runtime::ClickLabel* lblWebAddress = nullptr;
    QPushButton* Command1 = nullptr;
    runtime::ClickLabel* Label2 = nullptr;

    void lblWebAddress_Click();
    void Command1_Click();
    void Label2_Click();

protected:
    void closeBox() override { Label2_Click(); }
    void Form_Load() override;

private:
    void backToConfiguration();
};
