#include "VProtoImportErrors.h"

#include <QtDebug>

void VProtoImportErrors::AddError(const std::string &filename, int line, int column,
                                  const std::string &message)
{
    qWarning().noquote() << "[PROTO]" << QString::fromStdString(filename) << (line + 1) << (column + 1)
                         << QString::fromStdString(message);
}

void VProtoImportErrors::AddWarning(const std::string &filename, int line, int column,
                                    const std::string &message)
{
    qInfo().noquote() << "[PROTO]" << QString::fromStdString(filename) << (line + 1) << (column + 1)
                      << QString::fromStdString(message);
}
