#pragma once

class QWidget;

// Widgets that statics keep for the whole process. Left to the exit-time destructors they
// would outlive the QApplication and crash on their way out, so they are deleted from the
// application's own destructor (a post routine), which runs whether or not exec() returned.
class VStaticWidgets
{
public:
    // Deletes the widget when the application goes, unless it is gone by then. The widget gets
    // the dynamic property kKeptProperty (true).
    static void deleteWithApp(QWidget *widget);
    static constexpr const char *kKeptProperty = "vStaticWidget";
};
