#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

// What to put onto a widget: the target (null once it is gone), where the image is, and how.
struct VWidgetOperation
{
    QPointer<QObject> target;
    QString imageUrl;
    QString imagePath;
    QString styleText;
    int width = 0;
    int height = 0;
};
