// main() of the window tests: one QApplication for every test of the executable, on the platform that
// QT_QPA_PLATFORM names (offscreen under ctest).

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
