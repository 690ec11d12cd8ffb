#pragma once
#include "platform/Platform.h"
#include "runtime/Form.h"
#include <QList>

class QLabel;
class QPushButton;
namespace runtime {
class ClickLabel;
}

// Where the single media file is chosen: through the file-open dialog or through the single-file
// search. Its only results are settings. Every way it closes shrinks it away first.
class frmChooseOrSearch : public runtime::Form {
    Q_OBJECT
public:
    frmChooseOrSearch();

    QLabel* Label1 = nullptr;
    QPushButton* cmdChooseFromDialogMethod = nullptr;
    QPushButton* cmdChooseFileSearchMethod = nullptr;
    QPushButton* cmdCancel = nullptr;
    runtime::ClickLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;

    // The file-open dialog's type list, in the order offered.
    static QList<platform::FileFilter> fileFilters();

    void cmdChooseFromDialogMethod_Click();
    void cmdChooseFileSearchMethod_Click();
    void cmdCancel_Click();
    void Label2_Click();

protected:
    void Form_Load() override;
    bool Form_QueryUnload() override;
    void paintEvent(QPaintEvent* event) override;

private:
    void shrinkAndUnload();

    bool m_shrunk = false;
};
