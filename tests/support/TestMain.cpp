#include <gtest/gtest.h>

#include <QApplication>

#include "AmbrelResources.h"

// One QApplication for the whole binary; widget tests run on the offscreen platform, display
// tests on xcb (set per test by CMake).
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery only lists names; it runs without the test environment or a display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    // ctest hands a test only the first ENVIRONMENT entry of gtest_discover_tests, so the
    // programs in build/bin are put first on PATH here.
    const QByteArray bin = qEnvironmentVariableIsSet("AMBREL_BIN_DIR") ? qgetenv("AMBREL_BIN_DIR")
                                                                       : QByteArray(AMBREL_BINARY_DIR "/bin");
    qputenv("AMBREL_BIN_DIR", bin);
    if (!qgetenv("PATH").startsWith(bin + ':'))
        qputenv("PATH", bin + ':' + qgetenv("PATH"));
    // A display test run without a display (ctest outside ./test.sh) falls back to offscreen,
    // where what needs the display skips instead of the whole binary aborting.
    if (qgetenv("QT_QPA_PLATFORM") == "xcb" && qgetenv("DISPLAY").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ambrelInitResources();
    return RUN_ALL_TESTS();
}
