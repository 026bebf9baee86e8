#pragma once

#include <QJsonObject>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace google {
namespace protobuf {
class FieldDescriptor;
class Message;
} // namespace protobuf
} // namespace google

// A server message: a protobuf dynamic message of a type loaded at run time from
// ":/proto/<Module>.proto". Fields are addressed by name; proto2 gives every singular field
// presence, so a field set to 0 differs from one left out. No member throws: setters and
// getters report false on an unknown field, a wrong type or a message that was never made.
class VProtoBufMessage : public QObject
{
    Q_OBJECT
public:
    explicit VProtoBufMessage(QObject *parent = nullptr);
    ~VProtoBufMessage() override;

    // make("PrankCmd.proto", "PrankCmd.addPrank"): an empty message of that type. On failure
    // the message is left unmade (every later call reports false); logged unless quiet (a caller
    // that names the type in a line of its own).
    bool make(const QString &protoFile, const QString &method, bool quiet = false);
    bool isValid() const;
    QString protoFile() const;
    QString typeName() const;

    bool setString(const QString &field, const QString &value);
    bool setInt32(const QString &field, int value);
    bool setInt64(const QString &field, qint64 value);
    bool setUint32(const QString &field, quint32 value);
    bool setBool(const QString &field, bool value);

    // Repeated fields.
    bool addString(const QString &field, const QString &value);
    bool addString(const QString &field, const QStringList &values);
    bool addInt32(const QString &field, int value);
    bool addInt32(const QString &field, const QVector<int> &values);
    bool addInt64(const QString &field, qint64 value);

    // Presence of a singular field; a repeated field is present when it has an element.
    bool hasField(const QString &name) const;
    // Elements of a repeated field (0 for a singular or unknown one).
    int fieldSize(const QString &name) const;

    // out = the field's value when it is set and of the type; otherwise out = def and false.
    bool getString(const QString &name, QString &out, const QString &def = {}) const;
    bool getInt32(const QString &name, int &out, int def = 0) const;
    bool getInt64(const QString &name, qint64 &out, qint64 def = 0) const;
    bool getUint32(const QString &name, quint32 &out, quint32 def = 0) const;
    bool getBool(const QString &name, bool &out, bool def = false) const;
    QStringList getStringList(const QString &name) const;
    QVector<int> getInt32List(const QString &name) const;

    // protobuf FieldDescriptor::Type number (3 int64, 5 int32, 8 bool, 9 string, 13 uint32 ...);
    // found false and 0 for a field the message lacks.
    int getFieldType(const QString &name, bool &found) const;

    // The message as compact JSON. With preserveFieldNames the names are the proto file's,
    // otherwise lowerCamelCase. 64-bit integers are written as JSON strings, so they survive
    // any reader. An unmade message gives "{}".
    QString ToJsonString(bool preserveFieldNames) const;
    // The same text, written no further than maxBytes of UTF-8: a longer one gives a null text
    // and sets tooLong, at the cost of maxBytes, however large the message would be as JSON.
    QString ToJsonString(bool preserveFieldNames, qint64 maxBytes, bool *tooLong) const;
    // Fills fields from JSON (names as in the proto file or lowerCamelCase). Numbers or numeric
    // texts for integers, arrays for repeated fields, objects for nested messages, names or
    // numbers for enums; null members are skipped. Every valid member is set; the result is
    // false when any member was unknown or of the wrong type (each logged).
    bool ToProtobuf(const QJsonObject &object);

    // Wire form.
    QByteArray serialize() const;
    bool parse(const QByteArray &bytes);
    void clear();

    const google::protobuf::Message *message() const;

private:
    const google::protobuf::FieldDescriptor *singular(const QString &name, int cppType) const;
    const google::protobuf::FieldDescriptor *repeated(const QString &name, int cppType) const;
    const google::protobuf::FieldDescriptor *field(const QString &name) const;

    std::unique_ptr<google::protobuf::Message> m_message;
    QString m_protoFile;
};

typedef QSharedPointer<VProtoBufMessage> VProtoMsgPtr;

Q_DECLARE_METATYPE(QSharedPointer<VProtoBufMessage>)
