#include "VProtoSourceTree.h"

#include <google/protobuf/io/zero_copy_stream_impl_lite.h>

#include <QFile>

namespace {

// The importer deletes the stream when it is done; the stream owns its bytes.
class OwningArrayStream : public google::protobuf::io::ZeroCopyInputStream
{
public:
    explicit OwningArrayStream(std::string bytes)
        : m_bytes(std::move(bytes)), m_stream(m_bytes.data(), static_cast<int>(m_bytes.size()))
    {
    }
    bool Next(const void **data, int *size) override { return m_stream.Next(data, size); }
    void BackUp(int count) override { m_stream.BackUp(count); }
    bool Skip(int count) override { return m_stream.Skip(count); }
    int64_t ByteCount() const override { return m_stream.ByteCount(); }

private:
    std::string m_bytes;
    google::protobuf::io::ArrayInputStream m_stream;
};

} // namespace

VProtoSourceTree::VProtoSourceTree(const QString &root) : m_root(root) {}

bool VProtoSourceTree::isSafeName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return false;
    const QStringList parts = name.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String("..") || part == QLatin1String("."))
            return false;
    }
    return true;
}

bool VProtoSourceTree::exists(const QString &name) const
{
    return isSafeName(name) && QFile::exists(m_root + name);
}

google::protobuf::io::ZeroCopyInputStream *VProtoSourceTree::Open(const std::string &filename)
{
    const QString name = QString::fromStdString(filename);
    if (!isSafeName(name)) {
        m_lastError = "not a proto file name: " + filename;
        return nullptr;
    }
    QFile file(m_root + name);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = "no such proto file: " + filename;
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    return new OwningArrayStream(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

std::string VProtoSourceTree::GetLastErrorMessage()
{
    return m_lastError;
}
