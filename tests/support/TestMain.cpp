#include <gtest/gtest.h>

#include <QApplication>
#include <QMap>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include "AmbrelResources.h"
#include "TestSupport.h"

#include <algorithm>

namespace {

// Widgets Qt makes on first use and keeps for the life of the application.
bool isQtSingleton(const QWidget *w)
{
    static const QSet<QByteArray> names{"QDesktopWidget", "QDesktopScreenWidget", "QTipLabel", "QWhatsThat"};
    return names.contains(w->metaObject()->className());
}

// Widgets kept on purpose: ours that VStaticWidgets deletes with the application (it marks them
// with this property), and those a fixture makes on first use and declares with keepWidgetForTests.
bool isKept(const QWidget *w)
{
    return w->property("vStaticWidget").toBool() || w->property(kKeptForTestsProperty).toBool();
}

// A kept widget is one window per name (a toast, a message box, a pop-up per configured page), so
// what is kept cannot grow with what tests do: a second kept widget of a class and object name, or
// more than this many in all, is a leak like any other.
const int kMaxKept = 16;

// How long widgets left alive may take to go once the test has started their deletion (a
// deleteLater from a timer, say). Only a test that does leak waits this long.
const int kPendingDeleteMs = 10000;

QString describe(const QWidget *w)
{
    return QStringLiteral("%1 \"%2\"%3")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(),
             w->isWindow() ? QStringLiteral(" (top-level)") : QString());
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
        // Their deletion may still be on its way; a widget nothing deletes stays until the deadline.
        QList<QPointer<QWidget>> pending;
        for (QWidget *w : leftovers())
            pending.append(w);
        if (!pending.isEmpty()) {
            waitUntil([&pending] {
                return std::all_of(pending.cbegin(), pending.cend(), [](const QPointer<QWidget> &w) { return w.isNull(); });
            }, kPendingDeleteMs);
        }
        QStringList leaked;
        for (const QWidget *w : leftovers())
            leaked << describe(w);
        if (!leaked.isEmpty()) {
            leaked.sort();
            ADD_FAILURE() << "widgets left alive after the test: " << qPrintable(leaked.join(QStringLiteral(", ")));
        }
        reportKeptGrowth();
    }

    // The widgets the test left alive; a leaked widget's children go with it, so only the outermost.
    QList<QWidget *> leftovers() const
    {
        const QSet<const QWidget *> now = alive();
        QList<QWidget *> out;
        for (QWidget *w : QApplication::allWidgets()) {
            if (m_before.contains(w) || isQtSingleton(w) || isKept(w))
                continue;
            if (w->parentWidget() && now.contains(w->parentWidget()) && !m_before.contains(w->parentWidget()))
                continue;
            out << w;
        }
        return out;
    }

    // Fails the test that added a kept widget beyond one per class and name, or beyond kMaxKept
    // in all, and names what it added. Kept widgets an earlier test was already failed for are
    // not counted against the next ones.
    void reportKeptGrowth()
    {
        QSet<const QWidget *> charged;
        for (const QPointer<QWidget> &w : qAsConst(m_charged))
            charged.insert(w.data());
        QMap<QString, int> perName;
        QSet<QString> addedNames;
        QList<QWidget *> added;
        int total = 0;
        for (QWidget *w : QApplication::allWidgets()) {
            if (!isKept(w))
                continue;
            const QString name =
                QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
            ++perName[name];
            total += charged.contains(w) ? 0 : 1;
            if (!m_before.contains(w)) {
                added << w;
                addedNames.insert(name);
            }
        }
        if (added.isEmpty())
            return;
        QStringList repeated;
        for (const QString &name : qAsConst(addedNames))
            if (perName.value(name) > 1)
                repeated << QStringLiteral("%1 x%2").arg(name).arg(perName.value(name));
        repeated.sort();
        if (!repeated.isEmpty())
            ADD_FAILURE() << "kept widgets repeated: " << qPrintable(repeated.join(QStringLiteral(", ")));
        if (total > kMaxKept)
            ADD_FAILURE() << "kept widgets past the bound: " << total << " alive, at most " << kMaxKept << ", "
                          << added.size() << " added by this test";
        if (!repeated.isEmpty() || total > kMaxKept)
            for (QWidget *w : qAsConst(added))
                m_charged.append(w);
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
    // Kept widgets a test was failed for.
    QList<QPointer<QWidget>> m_charged;
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
