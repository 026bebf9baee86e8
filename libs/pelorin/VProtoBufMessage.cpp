#include "VProtoBufMessage.h"

#include "VProtoRegistry.h"
#include "VLogLimiter.h"
#include "VLogText.h"

#include <google/protobuf/descriptor.h>
#include <google/protobuf/message.h>
#include <google/protobuf/io/zero_copy_stream_impl_lite.h>
#include <google/protobuf/util/json_util.h>
#include <google/protobuf/util/type_resolver_util.h>

#include <QJsonArray>
#include <QJsonValue>
#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using google::protobuf::Descriptor;
using google::protobuf::EnumValueDescriptor;
using google::protobuf::FieldDescriptor;
using google::protobuf::Message;
using google::protobuf::Reflection;

namespace {

const int kMaxJsonDepth = 32;

// An integral JSON value within [lo, hi]: a number without fraction or a decimal text.
bool jsonInteger(const QJsonValue &value, double lo, double hi, qint64 *signedOut, quint64 *unsignedOut)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        // 2^53: beyond it doubles skip integers, so a number there is not trusted.
        const double exact = 9007199254740992.0;
        if (!std::isfinite(d) || std::floor(d) != d || d < lo || d > hi || std::fabs(d) > exact)
            return false;
        if (signedOut)
            *signedOut = static_cast<qint64>(d);
        if (unsignedOut)
            *unsignedOut = static_cast<quint64>(d);
        return true;
    }
    if (!value.isString())
        return false;
    const QString text = value.toString().trimmed();
    bool ok = false;
    if (unsignedOut) {
        const quint64 v = text.toULongLong(&ok);
        if (!ok || static_cast<double>(v) > hi)
            return false;
        *unsignedOut = v;
        return true;
    }
    const qint64 v = text.toLongLong(&ok);
    if (!ok || static_cast<double>(v) < lo || static_cast<double>(v) > hi)
        return false;
    *signedOut = v;
    return true;
}

bool fillMessage(Message *msg, const QJsonObject &object, int depth, const QString &path);

// One JSON value into a field; for repeated fields one element is added.
bool putValue(Message *msg, const FieldDescriptor *fd, const QJsonValue &value, int depth,
              const QString &path)
{
    const Reflection *r = msg->GetReflection();
    const bool rep = fd->is_repeated();
    qint64 s = 0;
    quint64 u = 0;
    switch (fd->cpp_type()) {
    case FieldDescriptor::CPPTYPE_INT32:
        if (!jsonInteger(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &s, nullptr))
            return false;
        rep ? r->AddInt32(msg, fd, static_cast<qint32>(s)) : r->SetInt32(msg, fd, static_cast<qint32>(s));
        return true;
    case FieldDescriptor::CPPTYPE_INT64:
        if (!jsonInteger(value, -9223372036854775808.0, 9223372036854775807.0, &s, nullptr))
            return false;
        rep ? r->AddInt64(msg, fd, s) : r->SetInt64(msg, fd, s);
        return true;
    case FieldDescriptor::CPPTYPE_UINT32:
        if (!jsonInteger(value, 0, std::numeric_limits<quint32>::max(), nullptr, &u))
            return false;
        rep ? r->AddUInt32(msg, fd, static_cast<quint32>(u)) : r->SetUInt32(msg, fd, static_cast<quint32>(u));
        return true;
    case FieldDescriptor::CPPTYPE_UINT64:
        if (!jsonInteger(value, 0, 18446744073709551615.0, nullptr, &u))
            return false;
        rep ? r->AddUInt64(msg, fd, u) : r->SetUInt64(msg, fd, u);
        return true;
    case FieldDescriptor::CPPTYPE_DOUBLE:
        if (!value.isDouble())
            return false;
        rep ? r->AddDouble(msg, fd, value.toDouble()) : r->SetDouble(msg, fd, value.toDouble());
        return true;
    case FieldDescriptor::CPPTYPE_FLOAT:
        if (!value.isDouble())
            return false;
        rep ? r->AddFloat(msg, fd, static_cast<float>(value.toDouble()))
            : r->SetFloat(msg, fd, static_cast<float>(value.toDouble()));
        return true;
    case FieldDescriptor::CPPTYPE_BOOL:
        if (!value.isBool())
            return false;
        rep ? r->AddBool(msg, fd, value.toBool()) : r->SetBool(msg, fd, value.toBool());
        return true;
    case FieldDescriptor::CPPTYPE_STRING: {
        if (!value.isString())
            return false;
        QByteArray bytes = value.toString().toUtf8();
        if (fd->type() == FieldDescriptor::TYPE_BYTES)
            bytes = QByteArray::fromBase64(bytes);
        std::string text(bytes.constData(), static_cast<size_t>(bytes.size()));
        rep ? r->AddString(msg, fd, std::move(text)) : r->SetString(msg, fd, std::move(text));
        return true;
    }
    case FieldDescriptor::CPPTYPE_ENUM: {
        const EnumValueDescriptor *ev = nullptr;
        if (value.isString())
            ev = fd->enum_type()->FindValueByName(value.toString().toStdString());
        else if (jsonInteger(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &s, nullptr))
            ev = fd->enum_type()->FindValueByNumber(static_cast<int>(s));
        if (!ev)
            return false;
        rep ? r->AddEnum(msg, fd, ev) : r->SetEnum(msg, fd, ev);
        return true;
    }
    case FieldDescriptor::CPPTYPE_MESSAGE: {
        if (!value.isObject())
            return false;
        Message *child = rep ? r->AddMessage(msg, fd) : r->MutableMessage(msg, fd);
        return fillMessage(child, value.toObject(), depth + 1, path);
    }
    }
    return false;
}

bool fillMessage(Message *msg, const QJsonObject &object, int depth, const QString &path)
{
    if (depth > kMaxJsonDepth) {
        qWarning().noquote() << "[PROTO] JSON nested too deep at" << VLogText::cut(path);
        return false;
    }
    const Descriptor *type = msg->GetDescriptor();
    bool allOk = true;
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const std::string key = it.key().toStdString();
        const FieldDescriptor *fd = type->FindFieldByName(key);
        if (!fd)
            fd = type->FindFieldByCamelcaseName(key);
        const QString where = path.isEmpty() ? it.key() : path + QLatin1Char('.') + it.key();
        if (!fd) {
            qWarning().noquote() << "[PROTO]" << QString::fromStdString(type->full_name())
                                 << "has no field" << VLogText::cut(where);
            allOk = false;
            continue;
        }
        const QJsonValue value = it.value();
        if (value.isNull())
            continue;
        bool ok = true;
        if (fd->is_repeated()) {
            if (!value.isArray()) {
                ok = false;
            } else {
                const QJsonArray array = value.toArray();
                for (const QJsonValue &element : array)
                    ok = putValue(msg, fd, element, depth, where) && ok;
            }
        } else {
            ok = putValue(msg, fd, value, depth, where);
        }
        if (!ok) {
            qWarning().noquote() << "[PROTO] wrong JSON value for" << QString::fromStdString(type->full_name())
                                 << VLogText::cut(where);
            allOk = false;
        }
    }
    return allOk;
}

} // namespace

VProtoBufMessage::VProtoBufMessage(QObject *parent) : QObject(parent) {}

VProtoBufMessage::~VProtoBufMessage() = default;

bool VProtoBufMessage::make(const QString &protoFile, const QString &method, bool quiet)
{
    m_message.reset();
    m_protoFile = protoFile;
    VProtoRegistry *registry = VProtoRegistry::getInstance();
    const Descriptor *type = registry->findType(protoFile, method, quiet);
    if (!type) {
        // Pages may name types nobody knows at their own pace.
        if (!quiet && VLogLimiter::getInstance()->admit(QStringLiteral("[PROTO] unknown message")))
            qWarning().noquote() << "[PROTO] unknown message" << VProtoRegistry::logName(method) << "in"
                                 << VProtoRegistry::logName(protoFile);
        return false;
    }
    m_message.reset(registry->newMessage(type));
    return m_message != nullptr;
}

bool VProtoBufMessage::isValid() const
{
    return m_message != nullptr;
}

QString VProtoBufMessage::protoFile() const
{
    return m_protoFile;
}

QString VProtoBufMessage::typeName() const
{
    return m_message ? QString::fromStdString(m_message->GetDescriptor()->full_name()) : QString();
}

const FieldDescriptor *VProtoBufMessage::field(const QString &name) const
{
    if (!m_message)
        return nullptr;
    return m_message->GetDescriptor()->FindFieldByName(name.toStdString());
}

const FieldDescriptor *VProtoBufMessage::singular(const QString &name, int cppType) const
{
    const FieldDescriptor *fd = field(name);
    return fd && !fd->is_repeated() && fd->cpp_type() == cppType ? fd : nullptr;
}

const FieldDescriptor *VProtoBufMessage::repeated(const QString &name, int cppType) const
{
    const FieldDescriptor *fd = field(name);
    return fd && fd->is_repeated() && fd->cpp_type() == cppType ? fd : nullptr;
}

bool VProtoBufMessage::setString(const QString &name, const QString &value)
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_STRING);
    if (!fd)
        return false;
    m_message->GetReflection()->SetString(m_message.get(), fd, value.toStdString());
    return true;
}

bool VProtoBufMessage::setInt32(const QString &name, int value)
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_INT32);
    if (!fd)
        return false;
    m_message->GetReflection()->SetInt32(m_message.get(), fd, value);
    return true;
}

bool VProtoBufMessage::setInt64(const QString &name, qint64 value)
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_INT64);
    if (!fd)
        return false;
    m_message->GetReflection()->SetInt64(m_message.get(), fd, value);
    return true;
}

bool VProtoBufMessage::setUint32(const QString &name, quint32 value)
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_UINT32);
    if (!fd)
        return false;
    m_message->GetReflection()->SetUInt32(m_message.get(), fd, value);
    return true;
}

bool VProtoBufMessage::setBool(const QString &name, bool value)
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_BOOL);
    if (!fd)
        return false;
    m_message->GetReflection()->SetBool(m_message.get(), fd, value);
    return true;
}

bool VProtoBufMessage::addString(const QString &name, const QString &value)
{
    return addString(name, QStringList{value});
}

bool VProtoBufMessage::addString(const QString &name, const QStringList &values)
{
    const FieldDescriptor *fd = repeated(name, FieldDescriptor::CPPTYPE_STRING);
    if (!fd)
        return false;
    for (const QString &value : values)
        m_message->GetReflection()->AddString(m_message.get(), fd, value.toStdString());
    return true;
}

bool VProtoBufMessage::addInt32(const QString &name, int value)
{
    return addInt32(name, QVector<int>{value});
}

bool VProtoBufMessage::addInt32(const QString &name, const QVector<int> &values)
{
    const FieldDescriptor *fd = repeated(name, FieldDescriptor::CPPTYPE_INT32);
    if (!fd)
        return false;
    for (int value : values)
        m_message->GetReflection()->AddInt32(m_message.get(), fd, value);
    return true;
}

bool VProtoBufMessage::addInt64(const QString &name, qint64 value)
{
    const FieldDescriptor *fd = repeated(name, FieldDescriptor::CPPTYPE_INT64);
    if (!fd)
        return false;
    m_message->GetReflection()->AddInt64(m_message.get(), fd, value);
    return true;
}

bool VProtoBufMessage::hasField(const QString &name) const
{
    const FieldDescriptor *fd = field(name);
    if (!fd)
        return false;
    const Reflection *r = m_message->GetReflection();
    return fd->is_repeated() ? r->FieldSize(*m_message, fd) > 0 : r->HasField(*m_message, fd);
}

int VProtoBufMessage::fieldSize(const QString &name) const
{
    const FieldDescriptor *fd = field(name);
    if (!fd || !fd->is_repeated())
        return 0;
    return m_message->GetReflection()->FieldSize(*m_message, fd);
}

bool VProtoBufMessage::getString(const QString &name, QString &out, const QString &def) const
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_STRING);
    if (!fd || !m_message->GetReflection()->HasField(*m_message, fd)) {
        out = def;
        return false;
    }
    out = QString::fromStdString(m_message->GetReflection()->GetString(*m_message, fd));
    return true;
}

bool VProtoBufMessage::getInt32(const QString &name, int &out, int def) const
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_INT32);
    if (!fd || !m_message->GetReflection()->HasField(*m_message, fd)) {
        out = def;
        return false;
    }
    out = m_message->GetReflection()->GetInt32(*m_message, fd);
    return true;
}

bool VProtoBufMessage::getInt64(const QString &name, qint64 &out, qint64 def) const
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_INT64);
    if (!fd || !m_message->GetReflection()->HasField(*m_message, fd)) {
        out = def;
        return false;
    }
    out = m_message->GetReflection()->GetInt64(*m_message, fd);
    return true;
}

bool VProtoBufMessage::getUint32(const QString &name, quint32 &out, quint32 def) const
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_UINT32);
    if (!fd || !m_message->GetReflection()->HasField(*m_message, fd)) {
        out = def;
        return false;
    }
    out = m_message->GetReflection()->GetUInt32(*m_message, fd);
    return true;
}

bool VProtoBufMessage::getBool(const QString &name, bool &out, bool def) const
{
    const FieldDescriptor *fd = singular(name, FieldDescriptor::CPPTYPE_BOOL);
    if (!fd || !m_message->GetReflection()->HasField(*m_message, fd)) {
        out = def;
        return false;
    }
    out = m_message->GetReflection()->GetBool(*m_message, fd);
    return true;
}

QStringList VProtoBufMessage::getStringList(const QString &name) const
{
    QStringList out;
    const FieldDescriptor *fd = repeated(name, FieldDescriptor::CPPTYPE_STRING);
    if (!fd)
        return out;
    const Reflection *r = m_message->GetReflection();
    const int n = r->FieldSize(*m_message, fd);
    for (int i = 0; i < n; ++i)
        out << QString::fromStdString(r->GetRepeatedString(*m_message, fd, i));
    return out;
}

QVector<int> VProtoBufMessage::getInt32List(const QString &name) const
{
    QVector<int> out;
    const FieldDescriptor *fd = repeated(name, FieldDescriptor::CPPTYPE_INT32);
    if (!fd)
        return out;
    const Reflection *r = m_message->GetReflection();
    const int n = r->FieldSize(*m_message, fd);
    for (int i = 0; i < n; ++i)
        out << r->GetRepeatedInt32(*m_message, fd, i);
    return out;
}

int VProtoBufMessage::getFieldType(const QString &name, bool &found) const
{
    const FieldDescriptor *fd = field(name);
    found = fd != nullptr;
    return fd ? static_cast<int>(fd->type()) : 0;
}

QString VProtoBufMessage::ToJsonString(bool preserveFieldNames) const
{
    return ToJsonString(preserveFieldNames, std::numeric_limits<qint64>::max(), nullptr);
}

namespace {

// A text growing up to a limit; the writer asking for more space than that marks it over.
class BoundedTextOutput : public google::protobuf::io::ZeroCopyOutputStream
{
public:
    BoundedTextOutput(std::string *text, qint64 limit, bool *over) : m_text(text), m_limit(limit), m_over(over) {}
    bool Next(void **data, int *size) override
    {
        const qint64 used = qint64(m_text->size());
        if (used >= m_limit) {
            *m_over = true;
            return false;
        }
        const qint64 grow = std::min<qint64>({std::max<qint64>(used, 4096), m_limit - used, 64 * 1024 * 1024});
        m_text->resize(size_t(used + grow));
        *data = &(*m_text)[size_t(used)];
        *size = int(grow);
        return true;
    }
    void BackUp(int count) override { m_text->resize(m_text->size() - size_t(count)); }
    int64_t ByteCount() const override { return int64_t(m_text->size()); }

private:
    std::string *m_text;
    qint64 m_limit;
    bool *m_over;
};

// The wire form in blocks, ending early once the text is over its limit, so the rest of a
// huge message is not even walked.
class StoppingInput : public google::protobuf::io::ZeroCopyInputStream
{
public:
    StoppingInput(const std::string &bytes, const bool *stop)
        : m_in(bytes.data(), int(bytes.size()), 64 * 1024), m_stop(stop)
    {
    }
    bool Next(const void **data, int *size) override { return !*m_stop && m_in.Next(data, size); }
    void BackUp(int count) override { m_in.BackUp(count); }
    bool Skip(int count) override { return !*m_stop && m_in.Skip(count); }
    int64_t ByteCount() const override { return m_in.ByteCount(); }

private:
    google::protobuf::io::ArrayInputStream m_in;
    const bool *m_stop;
};

// Bytes the message's JSON has at least: its texts, and base64 of its byte fields. The printer
// escapes a text in one go, so a text over the limit is caught here instead.
qint64 jsonBytesAtLeast(const google::protobuf::Message &message)
{
    using google::protobuf::FieldDescriptor;
    const google::protobuf::Reflection *reflection = message.GetReflection();
    std::vector<const FieldDescriptor *> fields;
    reflection->ListFields(message, &fields);
    qint64 total = 0;
    std::string scratch;
    for (const FieldDescriptor *field : fields) {
        const int count = field->is_repeated() ? reflection->FieldSize(message, field) : 1;
        for (int i = 0; i < count; ++i) {
            if (field->cpp_type() == FieldDescriptor::CPPTYPE_MESSAGE) {
                total += jsonBytesAtLeast(field->is_repeated() ? reflection->GetRepeatedMessage(message, field, i)
                                                               : reflection->GetMessage(message, field));
            } else if (field->cpp_type() == FieldDescriptor::CPPTYPE_STRING) {
                const std::string &text = field->is_repeated()
                                              ? reflection->GetRepeatedStringReference(message, field, i, &scratch)
                                              : reflection->GetStringReference(message, field, &scratch);
                total += field->type() == FieldDescriptor::TYPE_BYTES ? (qint64(text.size()) + 2) / 3 * 4
                                                                      : qint64(text.size());
            }
        }
    }
    return total;
}

} // namespace

QString VProtoBufMessage::ToJsonString(bool preserveFieldNames, qint64 maxBytes, bool *tooLong) const
{
    if (tooLong)
        *tooLong = false;
    if (!m_message)
        return QStringLiteral("{}");
    // The printer throws on a proto2 message that lacks a required field (a body or JSON that
    // left it out), so such a message is refused here like one that cannot be written.
    if (!m_message->IsInitialized()) {
        qWarning().noquote() << "[PROTO] cannot write" << typeName() << "as JSON: missing"
                             << VLogText::cut(QString::fromStdString(m_message->InitializationErrorString()),
                                              VLogText::Server);
        return QStringLiteral("{}");
    }
    google::protobuf::util::JsonPrintOptions options;
    options.preserve_proto_field_names = preserveFieldNames;
    std::string text;
    bool over = jsonBytesAtLeast(*m_message) > maxBytes;
    if (!over) {
        // What MessageToJsonString does, through streams that stop at the limit.
        const google::protobuf::Descriptor *descriptor = m_message->GetDescriptor();
        std::unique_ptr<google::protobuf::util::TypeResolver> resolver(
            google::protobuf::util::NewTypeResolverForDescriptorPool("type.googleapis.com", descriptor->file()->pool()));
        const std::string bytes = m_message->SerializePartialAsString();
        StoppingInput input(bytes, &over);
        BoundedTextOutput output(&text, maxBytes, &over);
        const auto status = google::protobuf::util::BinaryToJsonStream(
            resolver.get(), "type.googleapis.com/" + descriptor->full_name(), &input, &output, options);
        if (!over && !status.ok()) {
            qWarning().noquote() << "[PROTO] cannot write" << typeName() << "as JSON:"
                                 << VLogText::cut(QString::fromStdString(status.ToString()), VLogText::Server);
            return QStringLiteral("{}");
        }
    }
    if (over) {
        if (tooLong)
            *tooLong = true;
        return QString();
    }
    return QString::fromStdString(text);
}

bool VProtoBufMessage::ToProtobuf(const QJsonObject &object)
{
    if (!m_message)
        return false;
    return fillMessage(m_message.get(), object, 0, QString());
}

QByteArray VProtoBufMessage::serialize() const
{
    if (!m_message)
        return QByteArray();
    std::string bytes;
    if (!m_message->SerializePartialToString(&bytes))
        return QByteArray();
    return QByteArray(bytes.data(), static_cast<int>(bytes.size()));
}

bool VProtoBufMessage::parse(const QByteArray &bytes)
{
    if (!m_message)
        return false;
    if (!m_message->ParsePartialFromArray(bytes.constData(), bytes.size())) {
        m_message->Clear();
        return false;
    }
    return true;
}

void VProtoBufMessage::clear()
{
    if (m_message)
        m_message->Clear();
}

const Message *VProtoBufMessage::message() const
{
    return m_message.get();
}
