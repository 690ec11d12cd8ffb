#include <QApplication>
#include <clocale>
#include "platform/linux/LinuxPlatform.h"
#include "runtime/FormRegistry.h"
#include "shell/VIDEOSCR.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // libmpv parses numbers with the C locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("lumora"));
    QApplication::setOrganizationName(QStringLiteral("larkspur"));
    // Forms decide when the program ends, hidden ones included.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::LinuxPlatform desktop;
    platform::install(desktop.services());
    registerProgramForms();

    // The switch and its handle may come as one argument ("/p 1234") or as several.
    QStringList args = QApplication::arguments().mid(1);
    VIDEOSCR::Main(args.join(QLatin1Char(' ')));

    int code = 0;
    if (desktop.process().programEnded()) code = desktop.process().exitCode();
    else if (runtime::forms().loadedCount() > 0) code = app.exec();
    runtime::forms().setQuitWhenEmpty(false);
    runtime::forms().reset();
    return code;
}
