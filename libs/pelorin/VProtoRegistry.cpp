#include "VProtoRegistry.h"

#include "VLogLimiter.h"
#include "VLogText.h"
#include "VProtoImportErrors.h"
#include "VProtoSourceTree.h"

#include <google/protobuf/compiler/importer.h>
#include <google/protobuf/descriptor.h>
#include <google/protobuf/dynamic_message.h>

#include <QMutexLocker>
#include <QtDebug>

VProtoRegistry *VProtoRegistry::getInstance()
{
    static VProtoRegistry *instance = new VProtoRegistry();
    return instance;
}

VProtoRegistry::VProtoRegistry()
    : m_tree(new VProtoSourceTree()),
      m_errors(new VProtoImportErrors()),
      m_importer(new google::protobuf::compiler::Importer(m_tree.get(), m_errors.get())),
      m_factory(new google::protobuf::DynamicMessageFactory(m_importer->pool()))
{
}

bool VProtoRegistry::importLocked(const QString &protoFile, bool quiet)
{
    auto known = m_imported.constFind(protoFile);
    if (known != m_imported.constEnd())
        return known.value();
    // Names come from the server: one that names no file is neither kept nor handed to the
    // importer, whose pool would remember it too.
    if (!m_tree->exists(protoFile)) {
        if (!quiet && VLogLimiter::getInstance()->admit(QStringLiteral("[PROTO] no proto file")))
            qWarning().noquote() << "[PROTO] no proto file" << logName(protoFile);
        return false;
    }
    const bool ok = m_importer->Import(protoFile.toStdString()) != nullptr;
    if (!ok)
        qWarning().noquote() << "[PROTO] cannot load proto file" << protoFile;
    m_imported.insert(protoFile, ok);
    return ok;
}

QString VProtoRegistry::logName(const QString &name)
{
    return VLogText::cut(name, VLogText::Server, 200);
}

int VProtoRegistry::knownFileCount()
{
    QMutexLocker locker(&m_mutex);
    return m_imported.size();
}

const google::protobuf::Descriptor *VProtoRegistry::findType(const QString &protoFile,
                                                             const QString &fullName, bool quiet)
{
    QMutexLocker locker(&m_mutex);
    if (!importLocked(protoFile, quiet))
        return nullptr;
    return m_importer->pool()->FindMessageTypeByName(fullName.toStdString());
}

google::protobuf::Message *VProtoRegistry::newMessage(const google::protobuf::Descriptor *type)
{
    if (!type)
        return nullptr;
    QMutexLocker locker(&m_mutex);
    const google::protobuf::Message *prototype = m_factory->GetPrototype(type);
    return prototype ? prototype->New() : nullptr;
}
