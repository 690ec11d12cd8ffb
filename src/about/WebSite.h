#pragma once
#include <QString>

// The maker's web site: the one address the program shows and opens.
inline QString makerWebAddress() { return QStringLiteral("https://www.larkspur-software.example/lumora/"); }
inline QString makerName() { return QStringLiteral("Larkspur Software"); }
