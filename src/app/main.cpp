#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "platform/Overrides.h"
#include "platform/linux/DisplayReach.h"
#include "platform/linux/EndSignals.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/mpv/CoreRetirement.h"
#include "runtime/FormRegistry.h"
#include "app/LatenessProbe.h"
#include "app/QuietInHost.h"
#include "shell/CommandLine.h"
#include "shell/VIDEOSCR.h"
#include "shell/XscreensaverList.h"

namespace {

// Without a session bus, libdbus starts one of its own (dbus-launch --autolaunch) when Qt looks for
// accessibility or desktop services, and that daemon outlives the screen saver. No bus is used then.
void useNoSessionBusUnlessThereIsOne() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return;
    // libdbus's own default: the user's bus in the runtime folder.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (!runtime.isEmpty() && ::stat((runtime + "/bus").constData(), &st) == 0 && S_ISSOCK(st.st_mode))
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

// Qt looks in the runtime folder as it starts (for a Flatpak's marker) and, where the session names
// none, warns on stderr that it makes one up. Not being in a Flatpak is then known without it: Qt
// looks in an empty folder of the program's own, and the variable is unset again once Qt is up.
std::unique_ptr<QTemporaryDir> runtimeFolderForQtsStart() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return nullptr;
    auto folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid()) return nullptr;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder->path()));
    return folder;
}

} // namespace

int main(int argc, char** argv) {
    // Taken first, before anything could keep the process waiting: see below.
    const pid_t parentAtStart = ::getppid();
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = parseCommandLine(arguments, qEnvironmentVariable("XSCREENSAVER_WINDOW"));
    // Nothing opens on a command line that was not understood: "-s" is not "/s".
    if (!line.refused.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(refusalLine(line.refused)));
        return 2;
    }
    for (const QString& warning : line.warnings) std::fprintf(stderr, "%s\n", qPrintable(warning));
    if (line.help) {
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    }
    if (line.addToXscreensaver) return addLumoraToXscreensaver();

    if (line.hosted) {
        // A daemon's or a locker's copy ends with the one that started it, even one killed outright
        // that can no longer end its savers. A parent already gone before the request took hold
        // would never send it: then the copy has nobody to draw for and ends now. (No daemon runs
        // as the init process; a copy it adopted was orphaned before it started.)
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (parentAtStart == 1 || ::getppid() != parentAtStart) return 0;
        app::quietInHost();
    }

    // Qt would abort without a display to show on, and leave a core file: say which one it was. The
    // check's connection stays open until Qt's own stands, so a server that ends or resets with its
    // last client is still there for Qt.
    platform::DisplayHold display = platform::holdDisplay();
    if (!display.failure().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(display.failure()));
        return 1;
    }

    useNoSessionBusUnlessThereIsOne();

    // Qt sees no arguments: the program's own options are not Qt's (-geometry, -display, -visual).
    int qtArgc = 1;
    std::unique_ptr<QTemporaryDir> runtimeFolder = runtimeFolderForQtsStart();
    auto qtStarting = std::make_unique<platform::PlatformStartGuard>();
    QApplication app(qtArgc, argv);
    qtStarting.reset();
    display.release();
    if (runtimeFolder) {
        qunsetenv("XDG_RUNTIME_DIR");
        runtimeFolder.reset();
    }
    // libmpv parses numbers with the C locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("lumora"));
    QApplication::setOrganizationName(QStringLiteral("larkspur"));
    // Forms decide when the program ends, hidden ones included.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::LinuxPlatform desktop;
    platform::Platform services = desktop.services();
    // Options hold for this run only; inside a daemon's window nothing at all is written, as one copy
    // runs on each monitor.
    platform::OverridingSettings settings(*services.settings, line.overrides, line.hosted);
    platform::HostedWindowSystem hostedWindows(*services.windows);
    platform::QuietDialogs quietDialogs;
    services.settings = &settings;
    if (line.hosted) {
        services.windows = &hostedWindows;
        services.dialogs = &quietDialogs;
    }
    platform::install(services);
    registerProgramForms();
    // Past its event loop the process ends without taking anything down (see below), so the last
    // form is not taken down on the way there either: the screen saver ends the moment it closes.
    runtime::forms().setEndsAtQuit([] { return !qEnvironmentVariableIsSet("LUMORA_STATS"); });
    // The players stop and their threads end before the process does.
    // Past a second, the process is taken down whatever holds it, but for the benchmarks' orderly end.
    platform::endOnSignals([&desktop] { desktop.process().endProgram(0); },
                           qEnvironmentVariableIsSet("LUMORA_STATS") ? 0 : 1);

    if (line.hosted) {
        const int64_t host = line.hostWindow != 0 ? line.hostWindow : platform::preview().rootWindow();
        if (!VIDEOSCR::RunHosted(host)) return 1;
        app::keepOwnWindowsBeneath();
    } else {
        VIDEOSCR::Main(line.classicSwitch);
    }

    // For the benchmarks: how long this thread, which handles input, was kept busy.
    std::unique_ptr<runtime::LatenessProbe> probe;
    if (qEnvironmentVariableIsSet("LUMORA_STATS")) probe = std::make_unique<runtime::LatenessProbe>();

    int code = 0;
    if (desktop.process().programEnded()) code = desktop.process().exitCode();
    else if (runtime::forms().loadedCount() > 0) code = app.exec();
    if (probe)
        std::fprintf(stderr, "lumora-stats: ui-late-p99-ms %.2f ui-late-max-ms %.2f samples %d\n",
                     probe->percentile(0.99), probe->worst(), probe->samples());
    // Everything the user chose is on disk by now: each setting and the play list are written as they
    // change. Taking the players down one by one can keep the process a second or more after its
    // window closed (libmpv's core waits on its threads and the sound server), so it just ends, and
    // the X server drops its windows and grabs. The benchmarks' figures come from that orderly end.
    if (!probe) {
        std::fflush(nullptr);
        ::_exit(code);
    }
    runtime::forms().setQuitWhenEmpty(false);
    runtime::forms().reset();
    // A player's core stuck on a sound server or device that never answers is not waited for: every
    // setting is written by now, so the process ends at once without its exit handlers, which would
    // wait for that core.
    if (!platform::mpv::playersFinished(400)) {
        std::fflush(nullptr);
        ::_exit(code);
    }
    return code;
}
