#pragma once
#include <QPointer>
#include <QWidget>

class QEventLoop;

namespace runtime {

// A window of the program: loaded once, shown modeless or modal, unloaded on request. Unloading
// may be refused by the form (QueryUnload); once unloaded the form is released and the registry
// forgets it.
class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(const QString& name, QWidget* parent = nullptr);
    ~Form() override;

    QString formName() const { return objectName(); }
    bool isLoaded() const { return m_loaded; }
    bool isUnloading() const { return m_unloadDone; }

    void Load();
    void Show();
    // Shows the form modally and returns when it has been unloaded or hidden. An owner keeps the form
    // above it and takes the form with it when it goes.
    void ShowModal(QWidget* owner = nullptr);
    // Returns false when the form refused to unload.
    bool Unload();

    // Geometry in twips. A negative size is refused with an invalid-value error.
    int leftTwips() const;
    int topTwips() const;
    int widthTwips() const;
    int heightTwips() const;
    void setLeftTwips(double twips);
    void setTopTwips(double twips);
    void setWidthTwips(double twips);
    void setHeightTwips(double twips);

    // left = (screen width - form width), rounded, halved with truncation; top likewise.
    void centreOnScreen();
    // Shrinks the form in steps of 24 twips, letting pending events run between steps, then closes
    // it; any refused size closes it at once.
    void CloseWithShrink();
    bool isShrinking() const { return m_shrinking; }

protected:
    virtual void Form_Load() {}
    // Return false to refuse the unload.
    virtual bool Form_QueryUnload() { return true; }
    virtual void Form_Unload() {}
    // Runs when the form object is released, after the unload.
    virtual void Form_Terminate() {}

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool m_loaded = false;
    bool m_loading = false;
    bool m_queryingUnload = false;
    bool m_unloadDone = false;
    bool m_shrinking = false;
    QPointer<QEventLoop> m_modalLoop;
};

} // namespace runtime
