#include "SafeModeServer.h"

#include "KivoServerComm.h"
#include "TestSupport.h"
#include "VToast.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

SafeModeServer::SafeModeServer()
{
    KivoServerComm::getInstance()->setRequestSeam([this](const VProtoBufMessage &message) {
        sent.append({message.typeName(), QJsonDocument::fromJson(message.ToJsonString(true).toUtf8()).object()});
        return QtPromise::QPromise<KivoServerResponse>(
            [this](const QtPromise::QPromiseResolve<KivoServerResponse> &resolve,
                   const QtPromise::QPromiseReject<KivoServerResponse> &reject) {
                m_pending.append({[resolve](const KivoServerResponse &r) { resolve(r); },
                                  [reject](std::exception_ptr e) { reject(e); }});
            });
    });
}

SafeModeServer::~SafeModeServer()
{
    KivoServerComm::getInstance()->setRequestSeam({});
}

void SafeModeServer::settle()
{
    // Each link of a promise chain runs from a posted call of its own.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::sendPostedEvents();
}

SafeModeServer::Pending SafeModeServer::take()
{
    if (m_pending.isEmpty()) {
        ADD_FAILURE() << "no pending request";
        return {[](const KivoServerResponse &) {}, [](std::exception_ptr) {}};
    }
    return m_pending.takeFirst();
}

void SafeModeServer::answer(int code, const QString &message)
{
    KivoServerResponse response;
    response.resultCode = code;
    response.resultMessage = message;
    take().resolve(response);
    settle();
}

void SafeModeServer::rejectWithError(const QString &text, int code)
{
    take().reject(std::make_exception_ptr(vErrorInfo(text, code)));
    settle();
}

void SafeModeServer::rejectOther()
{
    take().reject(std::make_exception_ptr(std::runtime_error("socket gone")));
    settle();
}

QString SafeModeServer::toastText(QWidget *dialog)
{
    VToast *toast = dialog->findChild<VToast *>();
    if (!toast || toast->isHidden())
        return QString();
    return toast->label()->text();
}

void SafeModeServer::type(QLineEdit *field, const QString &text)
{
    for (const QChar c : text)
        field->insert(QString(c));
}

void SafeModeServer::hideToast(QWidget *dialog)
{
    if (VToast *toast = dialog->findChild<VToast *>())
        toast->hide();
}

void SafeModeServer::fire(QTimer *timer)
{
    ASSERT_NE(timer, nullptr);
    timer->stop();
    QMetaObject::invokeMethod(timer, "timeout");
}
