// GoogleTest main for the window tests: one QApplication for the whole run
// (QT_QPA_PLATFORM=offscreen comes from the test's environment).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
