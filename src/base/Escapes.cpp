#include "base/Escapes.h"

namespace platform {

QString backslashEscape(QChar c) {
    switch (c.unicode()) {
    case u'\\':
        return QStringLiteral("\\\\");
    case u'\n':
        return QStringLiteral("\\n");
    case u'\r':
        return QStringLiteral("\\r");
    case u'\t':
        return QStringLiteral("\\t");
    default:
        return {};
    }
}

} // namespace platform
