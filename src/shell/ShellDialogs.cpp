#include "shell/ShellDialogs.h"

#include "runtime/FormRegistry.h"
#include "shell/frmMixer.h"
#include "shell/frmMonitors.h"
#include "shell/frmMouseSensitivity.h"

void registerShellDialogs() {
    auto& r = runtime::forms();
    r.registerForm(QStringLiteral("frmMouseSensitivity"), [] { return new frmMouseSensitivity; });
    r.registerForm(QStringLiteral("frmMixer"), [] { return new frmMixer; });
    r.registerForm(QStringLiteral("frmMonitors"), [] { return new frmMonitors; });
}
