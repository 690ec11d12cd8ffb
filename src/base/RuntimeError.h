#pragma once
#include <stdexcept>
#include <QString>

namespace runtime {

// The program's own runtime errors; handlers skip a failing statement on these and go on.
enum class ErrorKind { Overflow = 6, TypeMismatch = 13, InvalidValue = 380, Failed = 5 };

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(ErrorKind kind, const QString& what)
        : std::runtime_error(what.toStdString()), m_kind(kind) {}
    ErrorKind kind() const { return m_kind; }

private:
    ErrorKind m_kind;
};

} // namespace runtime
