#include "VCefRTCBusinessManager.h"

#include <memory>

#include <QDebug>
#include <QSet>

#include "VCefQueryAsker.h"
#include "VCefQueryManager.h"
#include "VCefRTCSignalRelay.h"
#include "VCefWidgetAbstract.h"
#include "VLogLimiter.h"
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

// An answer that comes later: only to the document that asked.
void reply(const VCefQueryAsker &asker, qint64 queryId, int state, const QString &errorMsg, const QString &data,
           bool ok)
{
    asker.answer(queryId, VCefQueryManager::makeReplyText(state, errorMsg, data), ok);
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
    const QMap<quint64, Turn> held = m_turns;
    m_turns.clear();
    for (const Turn &turn : held)
        if (turn.state == Turn::Ready)
            turn.answer();
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
                                               const std::function<void(quint64)> &completed,
                                               const std::function<bool()> &engineError,
                                               const std::function<void()> &refused, QPointer<QObject> *waiting)
{
    kivoARTCController *c = controller();
    // The number the operation's room request takes.
    const quint64 request = c->roomRequest() + 1;
    return QPromise<void>([&](const QPromiseResolve<void> &resolve, const QPromiseReject<void> &reject) {
        // A child of the controller: a wait whose answer never comes goes with the controller.
        QObject *context = new QObject(c);
        const QPointer<QObject> alive(context);
        if (waiting)
            *waiting = alive;
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
        // These come as often as a page asks: each is limited.
        const auto succeed = [context, resolve, success, completed, request] {
            if (success && VLogLimiter::getInstance()->admit(QLatin1String(success)))
                qDebug().noquote() << success;
            const QPromiseResolve<void> settle = resolve;
            const std::function<void(quint64)> then = completed;
            delete context;
            if (then)
                then(request);
            settle();
        };
        const auto fail = [context, reject, failure](const vErrorInfo &error) {
            if (VLogLimiter::getInstance()->admit(QLatin1String(failure)))
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
        // The error is answered only once `engineError` lets it: an enter whose join the engine
        // will not leave goes on waiting, as a request refused for that reason leaves the join
        // to go on; its join report or a later request settles it.
        if (kind != WaitKind::Role)
            QObject::connect(relay, &VCefRTCSignalRelay::sigSDKError, context,
                             [fail, engineError](int code, const QString &msg) {
                                 if (!engineError || engineError())
                                     fail(vErrorInfo(msg, code));
                             });
        if (operation())
            return;
        delete alive.data();
        if (refused)
            refused();
        if (kind == WaitKind::Enter)
            reject(vErrorInfo(QStringLiteral("SDK进房失败"), -1));
        else if (kind == WaitKind::Exit)
            reject(vErrorInfo(QStringLiteral("SDK退房失败"), -1));
        else
            reject();
    });
}

quint64 VCefRTCBusinessManager::takeTurn(const std::function<void()> &superseded)
{
    const quint64 turn = m_roomTurns++;
    m_turns[turn].superseded = superseded;
    return turn;
}

void VCefRTCBusinessManager::freeTurn(quint64 turn)
{
    const auto it = m_turns.find(turn);
    if (it == m_turns.end())
        return;
    it->state = Turn::Free;
    sendReady();
}

void VCefRTCBusinessManager::answerTurn(quint64 turn, const std::function<void()> &answer)
{
    const auto it = m_turns.find(turn);
    // Gone: answered already, as a superseded exit.
    if (it == m_turns.end() || it->state == Turn::Ready)
        return;
    if (it->state == Turn::Free) {
        m_turns.erase(it);
        answer();
        return;
    }
    it->state = Turn::Ready;
    it->answer = answer;
    // Exits asked before it and still waiting for their leave report go first: a report that
    // never comes holds no one.
    for (auto before = m_turns.begin(); before.key() < turn; ++before) {
        if (before->state != Turn::Waiting || !before->superseded)
            continue;
        before->state = Turn::Ready;
        before->answer = before->superseded;
        delete before->wait.data();
    }
    sendReady();
}

void VCefRTCBusinessManager::sendReady()
{
    // Free turns hold no one; a waiting one holds all after it.
    for (auto next = m_turns.begin(); next != m_turns.end();) {
        if (next->state == Turn::Waiting)
            break;
        if (next->state == Turn::Free) {
            ++next;
            continue;
        }
        const std::function<void()> send = next->answer;
        next = m_turns.erase(next);
        send();
    }
}

void VCefRTCBusinessManager::freeTurnOf(const QPointer<VCefRTCBusinessManager> &self, quint64 turn)
{
    if (self)
        self->freeTurn(turn);
}

void VCefRTCBusinessManager::answerTurnOf(const QPointer<VCefRTCBusinessManager> &self, quint64 turn,
                                          const std::function<void()> &answer)
{
    if (self)
        self->answerTurn(turn, answer);
    else
        answer();
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
    const VCefQueryAsker asker(window);
    const QPointer<VCefRTCBusinessManager> self(this);
    const quint64 turn = takeTurn();
    // Failed by an engine error, the enter leaves its join before it is answered: the page is
    // told it is not in that room, so the client must not go on into it. When the engine will
    // not leave, the enter is not answered failed. This runs as the error arrives, before any
    // later request could ask for that room again.
    waitFor(
        WaitKind::Enter, [c, roomId] { return c->enterSDKRoom(roomId); }, {},
        [c, roomId] { return c->leaveFailedJoin(roomId); },
        [self, turn] { freeTurnOf(self, turn); })
        .then(
            [self, turn, asker, queryId] {
                answerTurnOf(self, turn, [asker, queryId] { reply(asker, queryId, 1, QString(), QString(), true); });
            },
            [self, turn, asker, queryId](const vErrorInfo &e) {
                answerTurnOf(self, turn,
                             [asker, queryId, e] { reply(asker, queryId, e.code, e.text, QString(), false); });
            });
}

void VCefRTCBusinessManager::onExitSDKRoom(const Json::Value &root, VCefWidgetAbstract *window)
{
    const qint64 queryId = queryIdOf(root);
    const QPointer<kivoARTCController> c(controller());
    const VCefQueryAsker asker(window);
    const QPointer<VCefRTCBusinessManager> self(this);
    // The confirming second call is made as the exit completes, even when nobody is left to
    // answer, but only when nothing was asked after this exit: a later enter's join or a later
    // exit's leave is not this one's to undo. Then the leave just confirmed is the answer.
    const auto result = std::make_shared<bool>(false);
    const quint64 turn = takeTurn([asker, queryId] { reply(asker, queryId, 1, QString(), QString(), true); });
    QPointer<QObject> wait;
    waitFor(
        WaitKind::Exit, [c] { return c->exitSDKRoom(); },
        [c, result](quint64 request) {
            // Still the page's exit: its lines are limited as the query's were.
            const VLogLimiter::PageMessage lines(QStringLiteral("[CEFLOG] CEF Proto rtcExitSDKRoom"));
            *result = c && (c->roomRequest() != request || c->exitSDKRoom());
        },
        {},
        [self, turn] { freeTurnOf(self, turn); }, &wait)
        .then(
            [self, turn, asker, queryId, result] {
                answerTurnOf(self, turn, [asker, queryId, result] {
                    reply(asker, queryId, *result ? 1 : 0, QString(), QString(), *result);
                });
            },
            [self, turn, asker, queryId](const vErrorInfo &e) {
                answerTurnOf(self, turn,
                             [asker, queryId, e] { reply(asker, queryId, e.code, e.text, QString(), false); });
            });
    const auto it = m_turns.find(turn);
    if (it != m_turns.end())
        it->wait = wait;
}

void VCefRTCBusinessManager::onSwitchSDKRole(const Json::Value &root, VCefWidgetAbstract *window)
{
    const qint64 queryId = queryIdOf(root);
    const int role = paramOf(root, "roleType").asInt();
    kivoARTCController *c = controller();
    const VCefQueryAsker asker(window);
    waitFor(WaitKind::Role, [c, role] { return c->switchSDKRole(role); })
        .then([asker, queryId] { reply(asker, queryId, 1, QString(), QString(), true); },
              [asker, queryId] { reply(asker, queryId, 0, QString(), QString(), false); });
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
