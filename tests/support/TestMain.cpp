#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include "AmbrelResources.h"

namespace {

// Widgets kept for the life of the application, created on first use: Qt's own, and ours that
// VStaticWidgets deletes with the application (it marks them with this property).
bool isSingleton(const QWidget *w)
{
    static const QSet<QByteArray> names{"QDesktopWidget", "QDesktopScreenWidget", "QTipLabel", "QWhatsThat"};
    return names.contains(w->metaObject()->className()) || w->property("vStaticWidget").toBool();
}

// Fails a test that leaves widgets behind. Qt references every widget until it goes, so
// LeakSanitizer never sees a forgotten one; this compares the widgets alive after each test
// (once its deferred deletes have run) with those alive before it.
class WidgetLeakListener : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo &) override
    {
        settle();
        m_before = alive();
    }

    void OnTestEnd(const ::testing::TestInfo &) override
    {
        settle();
        const QSet<const QWidget *> now = alive();
        QStringList leaked;
        for (QWidget *w : QApplication::allWidgets()) {
            if (m_before.contains(w) || isSingleton(w))
                continue;
            // A leaked widget's children go with it: only the outermost is named.
            if (w->parentWidget() && now.contains(w->parentWidget()) && !m_before.contains(w->parentWidget()))
                continue;
            leaked << QStringLiteral("%1 \"%2\"%3")
                          .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(),
                               w->isWindow() ? QStringLiteral(" (top-level)") : QString());
        }
        if (!leaked.isEmpty()) {
            leaked.sort();
            ADD_FAILURE() << "widgets left alive after the test: " << qPrintable(leaked.join(QStringLiteral(", ")));
        }
    }

    // Deferred deletes outside exec() run only when asked for; a deleted widget may post more.
    static void settle()
    {
        for (int i = 0; i < 4; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    static QSet<const QWidget *> alive()
    {
        QSet<const QWidget *> set;
        for (const QWidget *w : QApplication::allWidgets())
            set.insert(w);
        // Top-levels are in allWidgets() too; asked for apart in case a platform keeps one only there.
        for (const QWidget *w : QApplication::topLevelWidgets())
            set.insert(w);
        return set;
    }

    QSet<const QWidget *> m_before;
};

} // namespace

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
    // Appended after gtest's printer, so a leak is recorded before the test's result is printed.
    ::testing::UnitTest::GetInstance()->listeners().Append(new WidgetLeakListener);
    const int result = RUN_ALL_TESTS();
    // The platform's screens are never freed, and the leak check counts what they point at as
    // reachable: their connections would hide any object of ours connected to a screen signal.
    for (QScreen *screen : QGuiApplication::screens())
        screen->disconnect();
    return result;
}
