#include "VBroadDebugTool.h"

#include "KivoServerComm.h"
#include "VProtoKeyMgr.h"

#include <QJsonDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

VBroadDebugTool::VBroadDebugTool(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("全局广播调试工具"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("输入广播名(eg:BagResult.AtmosphereGiftEventBroadcast)"), this));
    m_name = new QPlainTextEdit(this);
    layout->addWidget(m_name);
    layout->addWidget(new QLabel(QStringLiteral("输入参数(eg:一般为data:后的内容)"), this));
    m_params = new QPlainTextEdit(this);
    layout->addWidget(m_params);
    m_confirm = new QPushButton(QStringLiteral("确认"), this);
    layout->addWidget(m_confirm);
    connect(m_confirm, &QPushButton::clicked, this, [this] {
        const QString name = m_name->toPlainText();
        const QString params = m_params->toPlainText();
        if (!name.isEmpty() && !params.isEmpty())
            sendBroadcast(name, params);
    });
}

void VBroadDebugTool::sendBroadcast(const QString &name, const QString &parameters)
{
    QSharedPointer<VProtoBufMessage> msg(new VProtoBufMessage());
    const QJsonObject object = QJsonDocument::fromJson(parameters.toUtf8()).object();
    const int dot = name.indexOf(QLatin1Char('.'));
    const QString protoFile = (dot >= 0 ? name.left(dot + 1) : QString()) + QStringLiteral("proto");
    msg->make(protoFile, name);
    msg->ToProtobuf(object);
    const int id = VProtoKeyMgr::getInstance()->value(name).toInt();
    emit KivoServerComm::getInstance()->sigRecvBroadCast(id, msg);
}
