#pragma once

#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

// List of (id, name) pairs carried by an event hub signal.
typedef QList<QPair<QString, QString>> ListPairClass;

Q_DECLARE_METATYPE(ListPairClass)
