// The main of every test program without windows: before any test runs, the home and XDG folders point into
// a temporary folder, so nothing a test does can reach the real home folder.
#include "temp_dir.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    k4m::test::IsolatedHome home;
    return RUN_ALL_TESTS();
}
