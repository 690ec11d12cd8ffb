#include "support/TestFiles.h"

#include "runtime/FormRegistry.h"
#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace testsupport {

void putBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size()) << path.toStdString();
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool formClosed(const QString& name, int ms) {
    (void)QTest::qWaitFor([&] { return !runtime::forms().find(name); }, ms);
    // The registry lets an unloaded form go later, with the deferred deletes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !runtime::forms().find(name) && !runtime::forms().loadedNames().contains(name);
}

} // namespace testsupport
