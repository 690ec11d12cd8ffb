#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/IniSettingsBackend.h"
#include "platform/linux/X11Windows.h"
#include "platform/mpv/MpvEngine.h"
#include "platform/wayland/WaylandDesktop.h"
#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cstdlib>
#include <xcb/xcb.h>

namespace platform {

QString LinuxSystemInfo::programFolder() {
    return QCoreApplication::applicationDirPath();
}

QString LinuxSystemInfo::windowsDirectory() {
    const QString app = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(app + QStringLiteral("/../share/lumora"));
    if (QFileInfo(installed).isDir()) return installed;
    const QString build = app + QStringLiteral("/data");
    if (QFileInfo(build).isDir()) return build;
    return QString();
}

QString LinuxSystemInfo::userDataFolder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/larkspur/lumora");
}

bool X11WindowSystem::topLevelWindowExists(const QString& caption) {
    return x11::windowWithCaptionExists(caption);
}

void X11WindowSystem::beginScreenHold() {
    if (!m_hold) m_hold = std::make_unique<X11ScreenHold>();
    m_hold->begin();
}

bool X11WindowSystem::screenHeld() const { return m_hold && m_hold->holding(); }

void X11WindowSystem::holdWindow(QWidget* window, bool takesInput) {
    if (m_hold) m_hold->hold(window, takesInput);
}

void X11WindowSystem::endScreenHold() {
    if (m_hold) m_hold->end();
}

QSize X11WindowSystem::desktopSizeNow() const {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return QSize();
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return QSize();
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    if (!screens.rem) return QSize();
    auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, screens.data->root), nullptr);
    if (!g) return QSize();
    const QSize size(g->width, g->height);
    free(g);
    return size;
}

MonitorPower X11WindowSystem::monitorPower() {
    // Made on first use, once the windows are up: on Wayland the outputs are known by then.
    if (!m_powerReaderMade) {
        m_power = sessionMonitorPowerReader();
        m_powerReaderMade = true;
    }
    return m_power ? m_power->read() : MonitorPower::Unknown;
}

std::optional<QPoint> X11WindowSystem::pointerAtHold() const {
    if (!m_hold || !m_hold->holding()) return std::nullopt;
    return m_hold->startPointer();
}

void X11WindowSystem::makeTopmost(QWidget* window) {
    if (!window) return;
    if (!(window->windowFlags() & Qt::WindowStaysOnTopHint)) {
        const bool visible = window->isVisible();
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (visible) window->show();
    }
    if (window->isVisible()) window->raise();
}

namespace {

// Qt gives a window the blank pointer only if the window exists when the pointer is hidden, and a
// window is made anew when it is shown after its stay-on-top flag changed. So while the pointer is
// hidden, every window that is shown gets the blank pointer again.
class BlankPointerKeeper : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            QMetaObject::invokeMethod(
                this, [] { QGuiApplication::changeOverrideCursor(wayland::blankPointer()); }, Qt::QueuedConnection);
        return false;
    }
};

} // namespace

int X11WindowSystem::showCursor(bool show) {
    const int count = m_cursor.change(show);
    if (!m_cursor.visible() && !m_blankCursorSet) {
        QGuiApplication::setOverrideCursor(wayland::blankPointer());
        m_blankCursorSet = true;
        if (!m_pointerKeeper) m_pointerKeeper = new BlankPointerKeeper(qApp);
        qApp->installEventFilter(m_pointerKeeper);
    } else if (m_cursor.visible() && m_blankCursorSet) {
        if (m_pointerKeeper) qApp->removeEventFilter(m_pointerKeeper);
        QGuiApplication::restoreOverrideCursor();
        m_blankCursorSet = false;
    }
    return count;
}

namespace {

// The window the user is in: the modal one on top, else the active one, else the last of the
// program's windows on show. A box opened from it belongs to it.
QWidget* openingWindow() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    QWidget* last = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isWindow() && !(w->windowFlags() & Qt::X11BypassWindowManagerHint) &&
            w->windowType() != Qt::Desktop && w->windowType() != Qt::ToolTip && w->windowType() != Qt::Popup)
            last = w;
    return last;
}

// A box is a dialog of the window that opened it: transient for it and modal, above it but not above
// other programs, and not listed in the task bar on its own. The keyboard goes back to the opener
// once the box closes.
class OwnedDialog {
public:
    explicit OwnedDialog(QWidget* box) : m_opener(openingWindow()) {
        box->setParent(m_opener, box->windowFlags() | Qt::Dialog);
        box->setWindowModality(Qt::ApplicationModal);
        x11::keepOutOfTaskBar(box);
    }
    ~OwnedDialog() {
        if (m_opener && m_opener->isVisible()) m_opener->activateWindow();
    }
    QWidget* opener() const { return m_opener; }

private:
    QPointer<QWidget> m_opener;
};

} // namespace

int WidgetDialogs::messageBox(const QString& text, int style, const QString& title) {
    QMessageBox box;
    OwnedDialog owned(&box);
    box.setText(text);
    box.setWindowTitle(title);
    switch (style & 0xF0) {
    case 16:
        box.setIcon(QMessageBox::Critical);
        break;
    case 32:
        box.setIcon(QMessageBox::Question);
        break;
    case 48:
        box.setIcon(QMessageBox::Warning);
        break;
    case 64:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (style & 0x0F) {
    case 1:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case 3:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case 4:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return 1;
    case QMessageBox::Cancel:
        return 2;
    case QMessageBox::Yes:
        return 6;
    case QMessageBox::No:
        return 7;
    default:
        return 1;
    }
}

std::optional<uint32_t> WidgetDialogs::chooseColor(uint32_t initial) {
    const QColor start(int(initial & 0xFF), int((initial >> 8) & 0xFF), int((initial >> 16) & 0xFF));
    QColorDialog dialog(start);
    OwnedDialog owned(&dialog);
    dialog.setWindowTitle(QStringLiteral("Color"));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QColor c = dialog.selectedColor();
    return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

std::optional<QString> WidgetDialogs::openFile(const QString& title, const QList<FileFilter>& filters,
                                               int filterIndex, const QString& initialFolder) {
    QFileDialog dialog(nullptr, title, initialFolder);
    OwnedDialog owned(&dialog);
    // Qt's own dialog on every desktop, so it belongs to the program's window like its other boxes.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // Qt reads a filter's patterns from its last parentheses, separated by blanks; with the details
    // hidden the user reads the description exactly as written, its own parentheses included.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList names;
    for (const FileFilter& f : filters) {
        QStringList patterns = f.patterns.split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        names << f.description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    dialog.setNameFilters(names);
    if (filterIndex >= 0 && filterIndex < names.size()) dialog.selectNameFilter(names.at(filterIndex));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
    return chosen.first();
}

namespace {

// File systems of the kernel and the runtime: nobody keeps media there.
bool isPseudoFileSystem(const QByteArray& type, const QString& root) {
    static const QSet<QByteArray> pseudo = {
        "proc",       "sysfs",      "devtmpfs", "devpts",   "cgroup",          "cgroup2",
        "securityfs", "pstore",     "bpf",      "tracefs",  "debugfs",         "mqueue",
        "hugetlbfs",  "configfs",   "fusectl",  "autofs",   "binfmt_misc",     "efivarfs",
        "nsfs",       "rpc_pipefs", "ramfs",    "squashfs", "fuse.gvfsd-fuse", "fuse.portal"};
    if (pseudo.contains(type)) return true;
    for (const char* system : {"/proc", "/sys", "/dev", "/run", "/snap", "/boot/efi"}) {
        const QString s = QString::fromLatin1(system);
        if (root == s || root.startsWith(s + u'/')) {
            // Removable drives are mounted under /run/media/<user>.
            return !root.startsWith(QStringLiteral("/run/media/"));
        }
    }
    return false;
}

} // namespace

QList<Drive> MountedFileSystems::drives() {
    QList<Drive> out;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        if (!s.isValid() || !s.isReady() || isPseudoFileSystem(s.fileSystemType(), s.rootPath())) continue;
        QString name = s.displayName();
        if (name == s.rootPath()) name = QString::fromLocal8Bit(s.device());
        out << Drive{s.rootPath(), name};
    }
    std::sort(out.begin(), out.end(), [](const Drive& a, const Drive& b) { return a.root < b.root; });
    return out;
}

QString MountedFileSystems::programDriveRoot() {
    const QStorageInfo s(QCoreApplication::applicationDirPath());
    return s.isValid() ? s.rootPath() : QStringLiteral("/");
}

QString MountedFileSystems::homeFolder() {
    return QDir::homePath();
}

bool XdgDesktop::openUrl(const QUrl& url) {
    if (!isOpenableUrl(url)) return false;
    return QDesktopServices::openUrl(url);
}

QString XdgDesktop::desktopFolder() {
    // xdg-user-dir knows a desktop folder that was renamed or translated; without it, ~/Desktop.
    QString folder;
    QProcess p;
    p.start(QStringLiteral("xdg-user-dir"), {QStringLiteral("DESKTOP")});
    if (p.waitForFinished(3000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        folder = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    else if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(1000);
    }
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        folder = QDir::homePath() + QStringLiteral("/Desktop");
    if (!QDir().mkpath(folder)) return QString();
    return folder;
}

void DesktopPasswords::changePassword(const QString&, int64_t) {
    // The desktop's own screen locker keeps the password; there is nothing to change here.
    QMessageBox box(QMessageBox::Information, QStringLiteral("Lumora"),
                    QStringLiteral("The screen-saver password is set by your desktop's screen locker."),
                    QMessageBox::Ok);
    box.exec();
}

void EventLoopProcess::endProgram(int code) {
    m_ended = true;
    m_code = code;
    QCoreApplication::exit(code);
}

LinuxPlatform::LinuxPlatform()
    : m_settings(std::make_unique<IniSettingsBackend>()), m_media(std::make_unique<mpv::MpvEngine>()) {}

LinuxPlatform::~LinuxPlatform() = default;

Platform LinuxPlatform::services() const {
    Platform p;
    p.settings = m_settings.get();
    p.registry = const_cast<NoRegistry*>(&m_registry);
    p.system = const_cast<LinuxSystemInfo*>(&m_system);
    p.windows = const_cast<X11WindowSystem*>(&m_windows);
    p.dialogs = const_cast<WidgetDialogs*>(&m_dialogs);
    p.passwords = const_cast<DesktopPasswords*>(&m_passwords);
    p.process = const_cast<EventLoopProcess*>(&m_process);
    p.media = m_media.get();
    p.preview = const_cast<X11PreviewHost*>(&m_preview);
    p.desktop = const_cast<XdgDesktop*>(&m_desktop);
    p.files = const_cast<MountedFileSystems*>(&m_files);
    return p;
}

} // namespace platform
