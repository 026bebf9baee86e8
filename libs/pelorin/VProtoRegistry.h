#pragma once

#include <QHash>
#include <QMutex>
#include <QString>

#include <memory>

namespace google {
namespace protobuf {
class Descriptor;
class DynamicMessageFactory;
class Message;
namespace compiler {
class Importer;
}
} // namespace protobuf
} // namespace google

class VProtoSourceTree;
class VProtoImportErrors;

// Process-wide loader of the proto files: imports a file on first use and hands out fresh
// dynamic messages of its types. Thread-safe. Never destroyed, so messages that outlive
// other statics still find their factory.
class VProtoRegistry
{
public:
    static VProtoRegistry *getInstance();

    // The type fullName of protoFile, importing the file on first use; null when either
    // is unknown (logged once per existing file, at every try for a name that names none unless
    // quiet).
    const google::protobuf::Descriptor *findType(const QString &protoFile, const QString &fullName,
                                                 bool quiet = false);
    // A new empty message of the type, owned by the caller.
    google::protobuf::Message *newMessage(const google::protobuf::Descriptor *type);
    // How many proto files are remembered, loaded or not; only files that exist are.
    int knownFileCount();
    // A file or type name for the log, cut short however long the server made it.
    static QString logName(const QString &name);

private:
    VProtoRegistry();
    bool importLocked(const QString &protoFile, bool quiet);

    QMutex m_mutex;
    std::unique_ptr<VProtoSourceTree> m_tree;
    std::unique_ptr<VProtoImportErrors> m_errors;
    std::unique_ptr<google::protobuf::compiler::Importer> m_importer;
    std::unique_ptr<google::protobuf::DynamicMessageFactory> m_factory;
    QHash<QString, bool> m_imported;
};
