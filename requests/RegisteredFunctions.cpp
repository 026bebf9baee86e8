#include "RegisteredFunctions.h"

QHash<QString, RegisteredFunction> &registeredFunctionTable()
{
    static QHash<QString, RegisteredFunction> table;
    return table;
}

int invokeRegisteredFunction(const QString &name)
{
    const QHash<QString, RegisteredFunction> &table = registeredFunctionTable();
    if (table.isEmpty())
        return 0;
    const RegisteredFunction function = table.value(name, nullptr);
    return function ? function() : 0;
}
