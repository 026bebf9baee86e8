// The sanitizer suite's canary: a leak of ours whose allocation is reached through a Qt signal
// sent from the event loop, as nearly all of the client's code is. LeakSanitizer must report it
// at exit; a suppression wide enough to hide it would hide our own leaks everywhere.
#include <QApplication>
#include <QTimer>

#include <string>

namespace {

// Volatile, so that the allocation cannot be optimised away.
std::string *volatile g_kept = nullptr;

// Not inlined, so that the report names it.
__attribute__((noinline)) void leakCanaryAllocation()
{
    g_kept = new std::string(64, 'x');
    // Forgotten: nothing points at the text any more.
    g_kept = nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &app, [&app] {
        leakCanaryAllocation();
        app.quit();
    });
    timer.start(0);
    return app.exec();
}
