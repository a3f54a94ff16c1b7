// The window tests need a QApplication and no display.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // The test runner sets the same.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
