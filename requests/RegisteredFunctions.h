#pragma once

#include <QHash>
#include <QString>

// Request names mapped to functions called without arguments. Nothing fills the table, so every
// lookup gives 0; it lives from first use to process exit.
using RegisteredFunction = int (*)();

QHash<QString, RegisteredFunction> &registeredFunctionTable();

// Calls the function registered under name and returns its result; 0 when there is none.
int invokeRegisteredFunction(const QString &name);
