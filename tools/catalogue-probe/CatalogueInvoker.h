#pragma once

#include <functional>

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>
#include <QtPromise>

#include "KivoServerResponse.h"
#include "UserWarnReport.h"

Q_DECLARE_METATYPE(UserWarnReport)

// One request function of the catalogue, callable with its arguments as variants.
struct CatalogueEntry
{
    QString function;
    // Per parameter: "text", "int", "int64", "bool", "text list", "int list" or "record".
    QStringList parameterKinds;
    std::function<QtPromise::QPromise<KivoServerResponse>(const QVariantList &)> call;
};

// Every request function, in table order, for the probe and the tests: they call functions by
// name without a line per function of their own.
class CatalogueInvoker
{
public:
    static const QVector<CatalogueEntry> &entries();

    // The entries of that name (two for an overloaded function), empty when there is none.
    static QVector<const CatalogueEntry *> find(const QString &function);
};
