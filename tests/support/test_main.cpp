#include <gtest/gtest.h>
#include <QApplication>
#include "runtime/FormRegistry.h"

int main(int argc, char** argv) {
    // Widget tests run without an X server; the end-to-end tests talk to Xvfb themselves.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    runtime::forms().setQuitWhenEmpty(false);
    return RUN_ALL_TESTS();
}
