#include "about/AboutForms.h"

#include "about/frmCredits.h"
#include "about/frmURLACTION.h"
#include "runtime/FormRegistry.h"

void registerAboutForms() {
    auto& r = runtime::forms();
    r.registerForm(QStringLiteral("frmURLACTION"), [] { return new frmURLACTION; });
    r.registerForm(QStringLiteral("frmCredits"), [] { return new frmCredits; });
}
