#pragma once

#include <functional>

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVariant>
#include <QVector>

#include "KivoRequestTrace.h"
#include "KivoServerResponse.h"

class VProtoBufMessage;

// Records what request functions do while it exists: the make call and every setter call in
// order (through the builder's trace), and the message that reaches the transport seam, which it
// answers with a settled response instead of the network. Restores both seams when destroyed.
class CatalogueRecorder : public KivoRequestTrace
{
public:
    struct Call
    {
        QString operation;
        QString field;
        QVariant value;
        bool ok = false;
    };

    CatalogueRecorder();
    ~CatalogueRecorder() override;

    // Forgets what was recorded.
    void clear();

    // What the seam answers (resultCode 1 by default) and an inspector of each sent message.
    void setResponse(const KivoServerResponse &response);
    void setSendInspector(std::function<void(const VProtoBufMessage &)> inspector);

    int makeCount() const { return m_makes; }
    QString protoFile() const { return m_protoFile; }
    QString method() const { return m_method; }
    bool makeOk() const { return m_makeOk; }
    const QVector<Call> &calls() const { return m_calls; }
    int sentCount() const { return m_sent; }
    QString sentJson() const { return m_sentJson; }

    // The calls as [{"operation", "field", "value", "ok"}, ...].
    QJsonArray callsJson() const;
    static QJsonValue toJson(const QVariant &value);

    void made(const QString &protoFile, const QString &method, bool ok) override;
    void fieldSet(const char *operation, const QString &field, const QVariant &value,
                  bool ok) override;

private:
    int m_makes = 0;
    QString m_protoFile;
    QString m_method;
    bool m_makeOk = false;
    QVector<Call> m_calls;
    int m_sent = 0;
    QString m_sentJson;
    KivoServerResponse m_response;
    std::function<void(const VProtoBufMessage &)> m_inspector;
};
