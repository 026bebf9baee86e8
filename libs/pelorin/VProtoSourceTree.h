#pragma once

#include <google/protobuf/compiler/importer.h>

#include <QString>

#include <string>

// Source tree of the proto importer over the compiled-in resources ":/proto/<file>".
// Client and stand-in service read the very same files this way.
class VProtoSourceTree : public google::protobuf::compiler::SourceTree
{
public:
    explicit VProtoSourceTree(const QString &root = QStringLiteral(":/proto/"));

    google::protobuf::io::ZeroCopyInputStream *Open(const std::string &filename) override;
    std::string GetLastErrorMessage() override;

    // A file name the tree serves: relative, no parent steps, no empty parts.
    static bool isSafeName(const QString &name);
    // Whether the tree holds a file of that (safe) name.
    bool exists(const QString &name) const;

private:
    QString m_root;
    std::string m_lastError;
};
