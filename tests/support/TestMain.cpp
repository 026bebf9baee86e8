#include <gtest/gtest.h>

#include <QApplication>

#include "AmbrelResources.h"

// One QApplication for the whole binary; widget tests run on the offscreen platform
// (set per test by CMake).
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery only lists names; it runs without the test environment or a display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    ambrelInitResources();
    return RUN_ALL_TESTS();
}
