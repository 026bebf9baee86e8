#include "VCefRTCBusinessManager.h"

#include <memory>

#include <QDebug>
#include <QSet>

#include "VCefQueryManager.h"
#include "VCefRTCSignalRelay.h"
#include "VCefWidgetAbstract.h"
#include "kivoARTCController.h"
#include "vErrorInfo.h"

using QtPromise::QPromise;
using QtPromise::QPromiseReject;
using QtPromise::QPromiseResolve;

namespace {

qint64 queryIdOf(const Json::Value &root)
{
    return qint64(root["queryId"].asInt());
}

const Json::Value &paramOf(const Json::Value &root, const char *key)
{
    return root["param"][key];
}

QString textOf(const Json::Value &value)
{
    return QString::fromStdString(value.asString());
}

void reply(VCefWidgetAbstract *window, qint64 queryId, int state, const QString &errorMsg, const QString &data,
           bool ok)
{
    if (window)
        window->sendQueryReply(queryId, VCefQueryManager::makeReplyText(state, errorMsg, data), ok);
}

void answerResult(VCefWidgetAbstract *window, const Json::Value &root, bool result)
{
    reply(window, queryIdOf(root), result ? 1 : 0, QString(), QString(), result);
}

void answerDone(VCefWidgetAbstract *window, const Json::Value &root)
{
    reply(window, queryIdOf(root), 1, QString(), QString(), true);
}

void answerValue(VCefWidgetAbstract *window, const Json::Value &root, const QString &data)
{
    reply(window, queryIdOf(root), 1, QString(), data, true);
}

// A device name as a JSON string, so the reply stays JSON whatever the name holds.
QString jsonString(const QString &text)
{
    Json::FastWriter writer;
    writer.omitEndingLineFeed();
    return QString::fromStdString(writer.write(Json::Value(text.toStdString())));
}

} // namespace

const std::vector<VCefRTCBusinessManager::Entry> &VCefRTCBusinessManager::entries()
{
    static const std::vector<Entry> table = {
        {"rtcSetSDKUserInfo", &VCefRTCBusinessManager::onSetSDKUserInfo},
        {"rtcEnterSDKRoom", &VCefRTCBusinessManager::onEnterSDKRoom},
        {"rtcExitSDKRoom", &VCefRTCBusinessManager::onExitSDKRoom},
        {"rtcSwitchSDKRole", &VCefRTCBusinessManager::onSwitchSDKRole},
        {"rtcStartRtmpStream", &VCefRTCBusinessManager::onStartRtmpStream},
        {"rtcStopRtmpStream", &VCefRTCBusinessManager::onStopRtmpStream},
        {"rtcSetMuteLocalAudioStream", &VCefRTCBusinessManager::onSetMuteLocalAudioStream},
        {"rtcSetMuteRemoteAudioStream", &VCefRTCBusinessManager::onSetMuteRemoteAudioStream},
        {"rtcSetMuteAllRemoteAudioStreams", &VCefRTCBusinessManager::onSetMuteAllRemoteAudioStreams},
        {"rtcSetEnableLoopbackRecording", &VCefRTCBusinessManager::onSetEnableLoopbackRecording},
        {"rtcGetCurrentSpeakerDevice", &VCefRTCBusinessManager::onGetCurrentSpeakerDevice},
        {"rtcGetSpeakList", &VCefRTCBusinessManager::onGetSpeakList},
        {"rtcSetSpeakDevice", &VCefRTCBusinessManager::onSetSpeakDevice},
        {"rtcGetCurrentMicDevice", &VCefRTCBusinessManager::onGetCurrentMicDevice},
        {"rtcGetMicList", &VCefRTCBusinessManager::onGetMicList},
        {"rtcSetMicDevice", &VCefRTCBusinessManager::onSetMicDevice},
        {"rtcSetSpeakerVoice", &VCefRTCBusinessManager::onSetSpeakerVoice},
        {"rtcSetMicVoice", &VCefRTCBusinessManager::onSetMicVoice},
        {"rtcSetMicDeviceVoice", &VCefRTCBusinessManager::onSetMicDeviceVoice},
        {"rtcGetMicDeviceVoice", &VCefRTCBusinessManager::onGetMicDeviceVoice},
        {"rtcSetANS", &VCefRTCBusinessManager::onSetANS},
        {"rtcGetANS", &VCefRTCBusinessManager::onGetANS},
        {"rtcSetAGC", &VCefRTCBusinessManager::onSetAGC},
        {"rtcGetAGC", &VCefRTCBusinessManager::onGetAGC},
        {"rtcSetAEC", &VCefRTCBusinessManager::onSetAEC},
        {"rtcGetAEC", &VCefRTCBusinessManager::onGetAEC},
    };
    return table;
}

VCefRTCBusinessManager::VCefRTCBusinessManager(kivoARTCController *controller, QObject *parent)
    : QObject(parent), m_controller(controller)
{
    registerAll();
}

VCefRTCBusinessManager::~VCefRTCBusinessManager()
{
    // Answers held for an earlier one still go out, in their order.
    const QMap<quint64, std::function<void()>> held = m_heldAnswers;
    m_heldAnswers.clear();
    for (const std::function<void()> &answer : held)
        answer();
    if (!m_registeredWith)
        return;
    for (const Entry &entry : entries())
        m_registeredWith->registerHandler(QString::fromLatin1(entry.funcName), nullptr, CefHandler());
}

void VCefRTCBusinessManager::registerAll()
{
    VCefQueryManager *queries = VCefQueryManager::getInstance();
    m_registeredWith = queries;
    for (const Entry &entry : entries())
        queries->registerHandler(QString::fromLatin1(entry.funcName), nullptr, bind(entry.handler));
}

kivoARTCController *VCefRTCBusinessManager::controller() const
{
    return m_controller ? m_controller : kivoARTCController::getInstance();
}

CefHandler VCefRTCBusinessManager::bind(Handler handler)
{
    return std::bind(handler, this, std::placeholders::_1, std::placeholders::_2);
}

QString VCefRTCBusinessManager::deviceListText(const QList<QPair<QString, QString>> &devices)
{
    Json::Value list; // null while empty
    for (const auto &device : devices) {
        Json::Value item;
        item["deviceId"] = device.second.toStdString();
        item["deviceName"] = device.first.toStdString();
        list.append(item);
    }
    return QString::fromStdString(Json::FastWriter().write(list));
}

int VCefRTCBusinessManager::volumeOf(const Json::Value &value)
{
    if (value.isInt())
        return value.asInt();
    return textOf(value).toInt();
}

QPromise<void> VCefRTCBusinessManager::waitFor(WaitKind kind, const std::function<bool()> &operation,
                                               const std::function<void(quint64)> &completed)
{
    kivoARTCController *c = controller();
    // The number the operation's room request takes.
    const quint64 request = c->roomRequest() + 1;
    return QPromise<void>([&](const QPromiseResolve<void> &resolve, const QPromiseReject<void> &reject) {
        // A child of the controller: a wait whose answer never comes goes with the controller.
        QObject *context = new QObject(c);
        const QPointer<QObject> alive(context);
        const char *success = nullptr;
        const char *failure = nullptr;
        if (kind == WaitKind::Enter) {
            success = "lambda:joinEnterSDKRoom Success";
            failure = "lambda:joinEnterSDKRoom failed";
        } else if (kind == WaitKind::Exit) {
            success = "lambda:joinExitSDKRoom Success";
            failure = "lambda:joinExitSDKRoom failed";
        }
        // Each function keeps its own copies: deleting the context releases them.
        const auto succeed = [context, resolve, success, completed, request] {
            if (success)
                qDebug().noquote() << success;
            const QPromiseResolve<void> settle = resolve;
            const std::function<void(quint64)> then = completed;
            delete context;
            if (then)
                then(request);
            settle();
        };
        const auto fail = [context, reject, failure](const vErrorInfo &error) {
            qDebug().noquote() << failure;
            const QPromiseReject<void> settle = reject;
            delete context;
            settle(error);
        };
        // Heard through the relay, on this thread (see VCefRTCSignalRelay).
        VCefRTCSignalRelay *relay = VCefRTCSignalRelay::of(c);
        if (kind == WaitKind::Enter) {
            // Only the join of this request's room answers it, not that of a room asked for
            // later; an exit or an enter for another room asked after it cancels it.
            QObject::connect(relay, &VCefRTCSignalRelay::sigEnterSDKRoomSuc, context, [c, succeed, request] {
                if (c->joinedRoomRequest() >= request)
                    succeed();
            });
            QObject::connect(relay, &VCefRTCSignalRelay::sigSDKRoomJoinCancelled, context, [fail, request](quint64 by) {
                if (by > request)
                    fail(vErrorInfo(QStringLiteral("SDK进房已取消"), -2));
            });
        } else {
            QObject::connect(relay,
                             kind == WaitKind::Exit ? &VCefRTCSignalRelay::sigExitSDKRoomSuc
                                                    : &VCefRTCSignalRelay::sigSwitchSDKRoleSuc,
                             context, succeed);
        }
        if (kind != WaitKind::Role)
            QObject::connect(relay, &VCefRTCSignalRelay::sigSDKError, context,
                             [fail](int code, const QString &msg) { fail(vErrorInfo(msg, code)); });
        if (operation())
            return;
        delete alive.data();
        if (kind == WaitKind::Enter)
            reject(vErrorInfo(QStringLiteral("SDK进房失败"), -1));
        else if (kind == WaitKind::Exit)
            reject(vErrorInfo(QStringLiteral("SDK退房失败"), -1));
        else
            reject();
    });
}

void VCefRTCBusinessManager::answerInTurn(quint64 turn, const std::function<void()> &answer)
{
    m_heldAnswers.insert(turn, answer);
    while (!m_heldAnswers.isEmpty() && m_heldAnswers.firstKey() == m_answeredTurns) {
        const std::function<void()> next = m_heldAnswers.take(m_answeredTurns);
        ++m_answeredTurns;
        next();
    }
}

std::function<void(const std::function<void()> &)> VCefRTCBusinessManager::nextTurn()
{
    const quint64 turn = m_roomTurns++;
    const QPointer<VCefRTCBusinessManager> self(this);
    return [self, turn](const std::function<void()> &answer) {
        if (self)
            self->answerInTurn(turn, answer);
        else
            answer();
    };
}

void VCefRTCBusinessManager::onSetSDKUserInfo(const Json::Value &root, VCefWidgetAbstract *window)
{
    stuRtcUserInfo info;
    info.token = textOf(paramOf(root, "token"));
    info.uid = static_cast<unsigned int>(paramOf(root, "userId").asInt());
    controller()->setSDKUserInfo(info);
    answerDone(window, root);
}

void VCefRTCBusinessManager::onEnterSDKRoom(const Json::Value &root, VCefWidgetAbstract *window)
{
    const qint64 queryId = queryIdOf(root);
    const QString roomId = textOf(paramOf(root, "roomId"));
    kivoARTCController *c = controller();
    const QPointer<VCefWidgetAbstract> guard(window);
    const auto inTurn = nextTurn();
    waitFor(WaitKind::Enter, [c, roomId] { return c->enterSDKRoom(roomId); })
        .then([inTurn, guard, queryId] { inTurn([guard, queryId] { reply(guard, queryId, 1, QString(), QString(), true); }); },
              [inTurn, guard, queryId](const vErrorInfo &e) {
                  inTurn([guard, queryId, e] { reply(guard, queryId, e.code, e.text, QString(), false); });
              });
}

void VCefRTCBusinessManager::onExitSDKRoom(const Json::Value &root, VCefWidgetAbstract *window)
{
    const qint64 queryId = queryIdOf(root);
    const QPointer<kivoARTCController> c(controller());
    const QPointer<VCefWidgetAbstract> guard(window);
    // The confirming second call is made as the exit completes, even when nobody is left to
    // answer, but only when nothing was asked after this exit: a later enter's join or a later
    // exit's leave is not this one's to undo. Then the leave just confirmed is the answer.
    const auto result = std::make_shared<bool>(false);
    const auto inTurn = nextTurn();
    waitFor(WaitKind::Exit, [c] { return c->exitSDKRoom(); },
            [c, result](quint64 request) { *result = c && (c->roomRequest() != request || c->exitSDKRoom()); })
        .then(
            [inTurn, guard, queryId, result] {
                inTurn([guard, queryId, result] { reply(guard, queryId, *result ? 1 : 0, QString(), QString(), *result); });
            },
            [inTurn, guard, queryId](const vErrorInfo &e) {
                inTurn([guard, queryId, e] { reply(guard, queryId, e.code, e.text, QString(), false); });
            });
}

void VCefRTCBusinessManager::onSwitchSDKRole(const Json::Value &root, VCefWidgetAbstract *window)
{
    const qint64 queryId = queryIdOf(root);
    const int role = paramOf(root, "roleType").asInt();
    kivoARTCController *c = controller();
    const QPointer<VCefWidgetAbstract> guard(window);
    waitFor(WaitKind::Role, [c, role] { return c->switchSDKRole(role); })
        .then([guard, queryId] { reply(guard, queryId, 1, QString(), QString(), true); },
              [guard, queryId] { reply(guard, queryId, 0, QString(), QString(), false); });
}

void VCefRTCBusinessManager::onStartRtmpStream(const Json::Value &root, VCefWidgetAbstract *window)
{
    const QString url = textOf(paramOf(root, "url"));
    const bool transcoding = paramOf(root, "transcodingEnabled").asBool();
    QSet<unsigned int> others;
    const Json::Value &uids = paramOf(root, "otherUids");
    if (uids.isArray())
        for (const Json::Value &uid : uids)
            others.insert(static_cast<unsigned int>(uid.asInt()));
    answerResult(window, root, controller()->startRtmpStream(url, transcoding, others));
}

void VCefRTCBusinessManager::onStopRtmpStream(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerResult(window, root, controller()->stopRtmpStream(paramOf(root, "clear").asBool()));
}

void VCefRTCBusinessManager::onSetMuteLocalAudioStream(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerResult(window, root, controller()->setMuteLocalAudioStream(paramOf(root, "mute").asBool()));
}

void VCefRTCBusinessManager::onSetMuteRemoteAudioStream(const Json::Value &root, VCefWidgetAbstract *window)
{
    const bool mute = paramOf(root, "mute").asBool();
    const auto uid = static_cast<unsigned int>(paramOf(root, "uid").asInt());
    answerResult(window, root, controller()->setMuteRemoteAudioStream(uid, mute));
}

void VCefRTCBusinessManager::onSetMuteAllRemoteAudioStreams(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerResult(window, root, controller()->setMuteAllRemoteAudioStreams(paramOf(root, "mute").asBool()));
}

void VCefRTCBusinessManager::onSetEnableLoopbackRecording(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerResult(window, root, controller()->setEnableLoopbackRecording(paramOf(root, "bLoopback").asBool()));
}

void VCefRTCBusinessManager::onGetCurrentSpeakerDevice(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerValue(window, root, jsonString(controller()->getCurrentSpeakerDevice()));
}

void VCefRTCBusinessManager::onGetSpeakList(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerValue(window, root, deviceListText(controller()->getSpeakList()));
}

void VCefRTCBusinessManager::onSetSpeakDevice(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerResult(window, root, controller()->setSpeakDevice(textOf(paramOf(root, "deviceId"))));
}

void VCefRTCBusinessManager::onGetCurrentMicDevice(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerValue(window, root, jsonString(controller()->getCurrentMicDevice()));
}

void VCefRTCBusinessManager::onGetMicList(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerValue(window, root, deviceListText(controller()->getMicList()));
}

void VCefRTCBusinessManager::onSetMicDevice(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerResult(window, root, controller()->setMicDevice(textOf(paramOf(root, "deviceId"))));
}

void VCefRTCBusinessManager::onSetSpeakerVoice(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerResult(window, root, controller()->setSpeakerVoice(paramOf(root, "volume").asInt()));
}

void VCefRTCBusinessManager::onSetMicVoice(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerResult(window, root, controller()->setMicVoice(volumeOf(paramOf(root, "volume"))));
}

void VCefRTCBusinessManager::onSetMicDeviceVoice(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerResult(window, root, controller()->setMicDeviceVoice(volumeOf(paramOf(root, "volume"))));
}

void VCefRTCBusinessManager::onGetMicDeviceVoice(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerValue(window, root, QString::number(controller()->getMicDeviceVoice()));
}

void VCefRTCBusinessManager::onSetANS(const Json::Value &root, VCefWidgetAbstract *window)
{
    controller()->setANS(paramOf(root, "bANS").asBool());
    answerDone(window, root);
}

void VCefRTCBusinessManager::onGetANS(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerValue(window, root, QString::number(controller()->getANS() ? 1 : 0));
}

void VCefRTCBusinessManager::onSetAGC(const Json::Value &root, VCefWidgetAbstract *window)
{
    controller()->setAGC(paramOf(root, "bAGC").asBool());
    answerDone(window, root);
}

void VCefRTCBusinessManager::onGetAGC(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerValue(window, root, QString::number(controller()->getAGC() ? 1 : 0));
}

void VCefRTCBusinessManager::onSetAEC(const Json::Value &root, VCefWidgetAbstract *window)
{
    controller()->setAEC(paramOf(root, "bAEC").asBool());
    answerDone(window, root);
}

void VCefRTCBusinessManager::onGetAEC(const Json::Value &root, VCefWidgetAbstract *window)
{
    answerValue(window, root, QString::number(controller()->getAEC() ? 1 : 0));
}
