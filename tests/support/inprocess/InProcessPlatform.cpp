#include "support/inprocess/InProcessPlatform.h"

#include <QCursor>
#include <QGuiApplication>

#include "platform/linux/IniSettingsBackend.h"
#include "runtime/Form.h"
#include "base/RuntimeError.h"
#include <QApplication>
#include <QDir>
#include <QWidget>

namespace platform {

QString MemorySettingsBackend::find(const QString& key) const {
    for (auto it = values.begin(); it != values.end(); ++it)
        if (it.key().compare(key, Qt::CaseInsensitive) == 0) return it.key();
    return QString();
}

std::optional<QString> MemorySettingsBackend::read(const QString& key) {
    const QString k = find(key);
    if (k.isEmpty()) return std::nullopt;
    return values.value(k);
}

void MemorySettingsBackend::write(const QString& key, const QString& value) { writeAll({{key, value}}); }

void MemorySettingsBackend::writeAll(const SettingsValues& changes) {
    if (failWrites)
        throw runtime::RuntimeError(runtime::ErrorKind::Failed, QStringLiteral("store not writable"));
    for (const auto& [key, value] : changes) {
        const QString k = find(key);
        values[k.isEmpty() ? key : k] = value;
    }
    ++saves;
}

InProcessPlatform::InProcessPlatform() : m_memory(std::make_unique<MemorySettingsBackend>()) {
    m_settings = m_memory.get();
    const QString root = m_dir.path();
    windowsDirectoryValue = root + QStringLiteral("/windows");
    programFolderValue = root + QStringLiteral("/program");
    userDataFolderValue = root + QStringLiteral("/data");
    QDir().mkpath(windowsDirectoryValue);
    QDir().mkpath(programFolderValue);
    QDir().mkpath(userDataFolderValue);
    desktopFolderValue = root + QStringLiteral("/Desktop");
    programDriveRootValue = root;
    homeFolderValue = root + QStringLiteral("/home");
    QDir().mkpath(homeFolderValue);
    drivesValue = {Drive{root, QStringLiteral("test")}};
}

InProcessPlatform::~InProcessPlatform() = default;

void InProcessPlatform::install() {
    Platform p;
    p.settings = m_settings;
    p.registry = this;
    p.system = this;
    p.windows = this;
    p.dialogs = this;
    p.passwords = this;
    p.process = this;
    p.media = this;
    p.preview = this;
    p.desktop = this;
    p.files = this;
    platform::install(p);
}

void InProcessPlatform::useSettingsFile(const QString& path) {
    m_file = std::make_unique<IniSettingsBackend>(path);
    m_settings = m_file.get();
    if (current().registry == this) install();
}

static QString registryKey(const QString& subkey, const QString& name) {
    return subkey.toLower() + QLatin1Char('\\') + name.toLower();
}

std::optional<RegistryValue> InProcessPlatform::query(uint32_t root, const QString& subkey,
                                                      const QString& name) {
    registryQueries << QStringLiteral("%1:%2:%3").arg(root, 0, 16).arg(subkey, name);
    auto it = m_registry.find(registryKey(subkey, name));
    if (it == m_registry.end()) return std::nullopt;
    return *it;
}

void InProcessPlatform::setRegistryText(const QString& subkey, const QString& name, const QString& text) {
    RegistryValue v;
    v.type = 1;
    v.data = text.toLatin1() + '\0';
    m_registry[registryKey(subkey, name)] = v;
}

void InProcessPlatform::setRegistryNumber(const QString& subkey, const QString& name, uint32_t value) {
    RegistryValue v;
    v.type = 4;
    for (int i = 0; i < 4; ++i)
        v.data.append(char((value >> (8 * i)) & 0xFF));
    m_registry[registryKey(subkey, name)] = v;
}

bool InProcessPlatform::topLevelWindowExists(const QString& caption) {
    if (foreignWindows.contains(caption)) return true;
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget* w : widgets) {
        if (w->windowTitle() != caption) continue;
        if (auto* f = qobject_cast<runtime::Form*>(w)) {
            if (f->isLoaded()) return true;
        } else if (w->isVisible()) {
            return true;
        }
    }
    return false;
}

void InProcessPlatform::makeTopmost(QWidget* window) {
    ++topmostCalls;
    if (window && !(window->windowFlags() & Qt::WindowStaysOnTopHint)) {
        const bool visible = window->isVisible();
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (visible) window->show();
    }
}

int InProcessPlatform::messageBox(const QString& text, int style, const QString& title) {
    messageBoxes.append({text, style, title});
    if (onMessageBox) onMessageBox();
    return messageBoxAnswers.isEmpty() ? 1 : messageBoxAnswers.dequeue();
}

std::optional<uint32_t> InProcessPlatform::chooseColor(uint32_t initial) {
    colorDialogInitials << initial;
    return colorAnswers.isEmpty() ? std::nullopt : colorAnswers.dequeue();
}

std::optional<QString> InProcessPlatform::openFile(const QString& title, const QList<FileFilter>& filters,
                                                   int filterIndex, const QString& initialFolder) {
    openFileCalls.append({title, filters, filterIndex, initialFolder});
    return openFileAnswers.isEmpty() ? std::nullopt : openFileAnswers.dequeue();
}

bool InProcessPlatform::openUrl(const QUrl& url) {
    if (!isOpenableUrl(url)) return false;
    openedUrls << url;
    return true;
}

QString InProcessPlatform::desktopFolder() {
    const QCursor* c = QGuiApplication::overrideCursor();
    cursorShapesAtDesktopFolder << (c ? int(c->shape()) : -1);
    if (!desktopFolderValue.isEmpty()) QDir().mkpath(desktopFolderValue);
    return desktopFolderValue;
}

void InProcessPlatform::changePassword(const QString& provider, int64_t ownerWindow) {
    passwordChanges.append({provider, ownerWindow});
}

int16_t InProcessPlatform::verifyScreenSavePassword(QWidget*) {
    ++verifyCalls;
    cursorCountAtVerify = cursor.count();
    return verifyAnswers.isEmpty() ? int16_t(1) : verifyAnswers.dequeue();
}

void InProcessPlatform::endProgram(int code) {
    if (!endedWith) endedWith = code;
}

platform::MediaPlayer* InProcessPlatform::createPlayer(QWidget* parent) {
    return playerFactory ? playerFactory(parent) : nullptr;
}

QWidget* InProcessPlatform::previewHostWidget() {
    if (!m_previewHost) {
        m_previewHost = std::make_unique<QWidget>();
        m_previewHost->setObjectName(QStringLiteral("previewHost"));
        m_previewHost->resize(152, 112);
    }
    return m_previewHost.get();
}

bool InProcessPlatform::isWindow(int64_t window) {
    return window != 0 && window == previewHostId && hostAlive;
}

WindowRect InProcessPlatform::clientRect(int64_t window) {
    if (!isWindow(window)) return WindowRect{};
    const QSize size = previewHostWidget()->size();
    return WindowRect{0, 0, size.width(), size.height()};
}

void InProcessPlatform::embed(QWidget* picture, int64_t host) {
    previewCalls << QStringLiteral("embed %1").arg(host);
    if (!picture || !isWindow(host))
        throw runtime::RuntimeError(runtime::ErrorKind::Failed, QStringLiteral("no such window"));
    const QRect geometry = picture->geometry();
    picture->setParent(previewHostWidget());
    picture->setGeometry(geometry);
    picture->show();
}

void InProcessPlatform::giveBack(QWidget* picture, QWidget* form) {
    previewCalls << QStringLiteral("giveBack");
    if (failingGiveBacks > 0) {
        --failingGiveBacks;
        throw runtime::RuntimeError(runtime::ErrorKind::Failed, QStringLiteral("give-back failed"));
    }
    if (picture && picture->parentWidget() != form) picture->setParent(form);
}

} // namespace platform
