#include "playlist/SearchForms.h"

#include "playlist/frmFileSearch.h"
#include "playlist/frmSingleFileSearch.h"
#include "runtime/FormRegistry.h"

void registerSearchForms() {
    runtime::forms().registerForm(QStringLiteral("frmFileSearch"), [] { return new frmFileSearch; });
    runtime::forms().registerForm(QStringLiteral("frmSingleFileSearch"),
                                  [] { return new frmSingleFileSearch; });
}
