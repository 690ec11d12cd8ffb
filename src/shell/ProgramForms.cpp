#include "about/AboutForms.h"
#include "config/frmConfigure.h"
#include "playback/frmAbsoluteFullScreenVideo.h"
#include "playback/frmFloatingOneFourthMovie.h"
#include "playlist/frmChooseOrSearch.h"
#include "playlist/SearchForms.h"
#include "playlist/frmFileLister.h"
#include "runtime/FormRegistry.h"
#include "shell/ControlForm.h"
#include "shell/ShellDialogs.h"
#include "shell/VIDEOSCR.h"
#include "shell/frmAbout640x480.h"

void registerProgramForms() {
    auto& r = runtime::forms();
    r.registerForm(QStringLiteral("frmAbout640x480"), [] { return new frmAbout640x480; });
    r.registerForm(QStringLiteral("frmConfigure"), [] { return new frmConfigure; });
    r.registerForm(QStringLiteral("frmAbsoluteFullScreenVideo"), [] { return new frmAbsoluteFullScreenVideo; });
    r.registerForm(QStringLiteral("frmFloatingOneFourthMovie"), [] { return new frmFloatingOneFourthMovie; });
    r.registerForm(QStringLiteral("ControlForm"), [] { return new ControlForm; });
    r.registerForm(QStringLiteral("frmChooseOrSearch"), [] { return new frmChooseOrSearch; });
    registerPlaylistForms();
    registerSearchForms();
    registerShellDialogs();
    registerAboutForms();
}
