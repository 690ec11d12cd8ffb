#pragma once
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace e2e {

class ProgramRun;

// sway on its headless back end, run as an unprivileged user (sway refuses root), with a runtime
// folder of its own: the Wayland desktop the end-to-end tests start the program in.
class SwaySession {
public:
    // One for the whole test program, started on first use.
    static SwaySession& instance();
    // A session of the test's own, for tests that change its outputs.
    SwaySession();
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    bool ok() const { return m_ok; }
    // Why there is no session, for the skip message.
    QString whyNot() const { return m_whyNot; }

    // The environment of a client of the session: no X display, the session's Wayland socket.
    QProcessEnvironment environment() const;
    // What starts a program as the session's user (empty when the tests are not root).
    QStringList launcher() const;
    int uid() const { return m_uid; }
    int gid() const { return m_gid; }
    // Lets the run start the program in this session, as its user, on Qt's Wayland platform.
    void prepare(ProgramRun& run) const;

    // Runs a tool as the session's user; its exit code, or -1 when it did not end within timeoutMs.
    int run(const QStringList& command, QByteArray* output = nullptr, int timeoutMs = 10000) const;
    // Starts a tool that keeps running; ends with the returned process.
    std::unique_ptr<QProcess> start(const QStringList& command, const QProcessEnvironment& env = {}) const;

    // What one output shows (grim), with the pointer drawn in when withPointer.
    QImage grab(const QString& output, bool withPointer = false) const;
    // swaymsg -t get_outputs.
    QJsonArray outputs() const;
    // Adds a headless output; its name, empty on failure.
    QString addOutput();
    // The titles of the windows sway manages (layer surfaces are none of them); only those it lets
    // float over the others, as dialogs do, with floatingOnly.
    QStringList windowTitles(bool floatingOnly = false) const;
    // sway's node of the window with this title (get_tree); empty when there is none.
    QJsonObject window(const QString& title) const;
    // Moves the pointer and clicks through the tests' virtual-pointer client; true when it ran.
    bool pointer(const QStringList& steps) const;
    // Moves the pointer down 3 pixels and keeps the device for ms milliseconds, so the pointer shows.
    std::unique_ptr<QProcess> holdPointer(int ms) const;
    // A bar across the top of the first output on a layer-shell layer ("top" for panels, "overlay"
    // for notifications), shown once this returns; it goes with the process. Null when it did not show.
    std::unique_ptr<QProcess> bar(const QString& layer, const QString& rgb, int height) const;
    // Types text through wtype.
    bool type(const QString& text) const;
    // Runs wtype with these arguments ("-M", "alt", "l", "-m", "alt", "-k", "Return").
    bool keys(const QStringList& wtypeArguments) const;

private:
    // The tests' own Wayland client, copied where the session's user can run it.
    QString client() const;
    QTemporaryDir m_runtime;
    std::unique_ptr<QProcess> m_sway;
    QString m_socket;
    QString m_ipc;
    int m_uid = -1;
    int m_gid = -1;
    bool m_ok = false;
    QString m_whyNot;
};

// How many pixels of an image differ from another of the same size.
int differingPixels(const QImage& a, const QImage& b);

} // namespace e2e
