// The main of every test program with windows: an isolated home as in test_main.cpp and a QApplication on
// the offscreen platform, so real widgets run without a display.
#include "temp_dir.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    k4m::test::IsolatedHome home;
    k4m::test::ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
