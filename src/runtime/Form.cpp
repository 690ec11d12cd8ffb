#include "runtime/Form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <memory>
#include "base/Convert.h"
#include "runtime/FormRegistry.h"
#include "base/Guard.h"
#include "base/RuntimeError.h"
#include "runtime/Twips.h"

namespace runtime {

Form::Form(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    setAttribute(Qt::WA_QuitOnClose, false);
}

Form::~Form() {
    if (m_modalLoop) m_modalLoop->quit();
    FormRegistry::instance().forget(this);
}

void Form::Load() {
    if (m_loaded || m_loading || m_unloadDone) return;
    m_loading = true;
    m_loaded = true;
    FormRegistry::instance().loaded(this);
    QPointer<Form> self(this);
    Form_Load();
    if (self) m_loading = false;
}

void Form::Show() {
    QPointer<Form> self(this);
    Load();
    if (!self || !m_loaded) return; // the load unloaded the form again
    QWidget::show();
}

void Form::ShowModal(QWidget* owner) {
    if (owner && parentWidget() != owner) {
        const Qt::WindowFlags flags = (windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog;
        setParent(owner, flags);
    }
    QPointer<Form> alive(this);
    Load();
    if (!alive || !m_loaded) return;
    setWindowModality(Qt::ApplicationModal);
    QWidget::show();
    QEventLoop loop;
    m_modalLoop = &loop;
    QPointer<Form> self(this);
    loop.exec();
    if (self) {
        m_modalLoop = nullptr;
        setWindowModality(Qt::NonModal);
    }
    // Back to the owner's window, which a desktop without a window manager would leave unfocused.
    if (owner && owner->isVisible()) owner->activateWindow();
}

bool Form::Unload() {
    if (!m_loaded) return true;
    if (m_queryingUnload || m_unloadDone) return false;
    m_queryingUnload = true;
    QPointer<Form> self(this);
    bool allowed = Form_QueryUnload();
    if (!self) return true;
    m_queryingUnload = false;
    if (!allowed) return false;

    m_unloadDone = true;
    skipOnError([&] { Form_Unload(); });
    if (!self) return true;
    m_loaded = false;
    QWidget::hide();
    if (m_modalLoop) m_modalLoop->quit();
    skipOnError([&] { Form_Terminate(); });
    if (self) FormRegistry::instance().unloaded(this);
    return true;
}

int Form::leftTwips() const { return pixelsToTwips(isWindow() ? geometry().x() : x()); }
int Form::topTwips() const { return pixelsToTwips(isWindow() ? geometry().y() : y()); }
int Form::widthTwips() const { return pixelsToTwips(width()); }
int Form::heightTwips() const { return pixelsToTwips(height()); }

void Form::setLeftTwips(double twips) { move(twipsToPixels(twips), y()); }
void Form::setTopTwips(double twips) { move(x(), twipsToPixels(twips)); }

void Form::setWidthTwips(double twips) {
    if (twips < 0) throw RuntimeError(ErrorKind::InvalidValue, QStringLiteral("Invalid property value"));
    resize(twipsToPixels(twips), height());
}

void Form::setHeightTwips(double twips) {
    if (twips < 0) throw RuntimeError(ErrorKind::InvalidValue, QStringLiteral("Invalid property value"));
    resize(width(), twipsToPixels(twips));
}

static int halfOfRest(double screen, int size) { return static_cast<int>(roundHalfEven(screen - size)) / 2; }

void Form::centreOnScreen() {
    move(twipsToPixels(halfOfRest(screenWidthTwips(), widthTwips())),
         twipsToPixels(halfOfRest(screenHeightTwips(), heightTwips())));
}

namespace {

// Draws the shrinking steps in place of the form on X: resized by a window manager, the form's frame
// and every new size show black until the program repaints them. This window has no frame, no window
// manager, and the form's own picture, which a smaller size only cuts.
class ShrinkStandIn : public QWidget {
public:
    explicit ShrinkStandIn(QWidget* form)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                               Qt::WindowDoesNotAcceptFocus),
          m_picture(form->grab()) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setWindowTitle(form->windowTitle());
        setGeometry(form->geometry());
        show();
        raise();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawPixmap(0, 0, m_picture);
    }

private:
    QPixmap m_picture;
};

} // namespace

void Form::CloseWithShrink() {
    if (m_shrinking || !m_loaded) return;
    m_shrinking = true;
    // A form of fixed size must be let go of its size, or it could not shrink.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QPointer<Form> self(this);
    auto stillHere = [&] { return self && m_loaded; };
    std::unique_ptr<ShrinkStandIn> standIn;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && isWindow() && isVisible()) {
        standIn = std::make_unique<ShrinkStandIn>(this);
        QWidget::hide();
    }
    auto follow = [&] {
        if (standIn) {
            standIn->setGeometry(geometry());
            standIn->repaint();
        }
    };
    try {
        int n = toInt16(heightTwips() / 6.0);
        for (int i = 1; i <= n; ++i) {
            QCoreApplication::processEvents();
            if (!stillHere()) return;
            setHeightTwips(heightTwips() - 24);
            setTopTwips(halfOfRest(screenHeightTwips(), heightTwips()));
            follow();
        }
        n = toInt16(widthTwips() / 6.0);
        for (int i = 1; i <= n; ++i) {
            QCoreApplication::processEvents();
            if (!stillHere()) return;
            setWidthTwips(widthTwips() - 24);
            setLeftTwips(halfOfRest(screenWidthTwips(), widthTwips()));
            follow();
            if (widthTwips() <= 11) break;
        }
    } catch (const std::exception&) {
        // a refused size ends the animation; the form closes below
    }
    standIn.reset();
    if (stillHere()) {
        m_shrinking = false;
        // Refused, the form stays, as small as the animation left it.
        if (!Unload() && stillHere() && !isVisible()) QWidget::show();
    }
}

void Form::closeEvent(QCloseEvent* event) {
    // The window system's close goes through the same unload, which the form may refuse.
    if (m_loaded && !Unload()) event->ignore();
    else event->accept();
}

void Form::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A window that opens takes the keyboard, as dialogs do; without a window manager nobody else
    // would give it.
    if (isWindow() && !event->spontaneous() && !testAttribute(Qt::WA_ShowWithoutActivating)) activateWindow();
}

void Form::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Hidden for the shrink animation's stand-in, the form is still open.
    if (m_modalLoop && !event->spontaneous() && !m_shrinking) m_modalLoop->quit();
}

} // namespace runtime
