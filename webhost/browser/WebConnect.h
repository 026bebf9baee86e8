#pragma once

#include <QObject>
#include <QString>

// The object a page sees on its web channel (as "content"): texts in both directions.
class WebConnect : public QObject
{
    Q_OBJECT
public:
    explicit WebConnect(QObject *parent = nullptr);

signals:
    void CppToJs(const QString &text);
    void sigReceiveFromJs(const QString &text);

public slots:
    void JsToCpp(const QString &text);
};
