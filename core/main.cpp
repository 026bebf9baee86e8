#include <QApplication>
#include <QLabel>

#include "AmbrelResources.h"

// Placeholder entry until start-up is built in order.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ambrelInitResources();
    QLabel window(QStringLiteral("ambrel"));
    window.show();
    return app.exec();
}
