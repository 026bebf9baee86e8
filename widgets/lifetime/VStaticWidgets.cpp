#include "VStaticWidgets.h"

#include <QCoreApplication>
#include <QList>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace {

QList<QPointer<QWidget>> g_kept;
bool g_routineAdded = false;

void deleteKept()
{
    g_routineAdded = false;
    // Newest first; a destructor that keeps another widget is served by the same loop.
    while (!g_kept.isEmpty()) {
        const QPointer<QWidget> widget = g_kept.takeLast();
        delete widget.data();
    }
}

} // namespace

void VStaticWidgets::deleteWithApp(QWidget *widget)
{
    if (!widget)
        return;
    g_kept.removeAll(QPointer<QWidget>());
    g_kept.append(widget);
    // Marked, so a check for widgets left alive can tell these from leaks.
    widget->setProperty(kKeptProperty, true);
    // Post routines run once, from the destructor of the application that exists now.
    if (!g_routineAdded) {
        g_routineAdded = true;
        qAddPostRoutine(deleteKept);
    }
}
