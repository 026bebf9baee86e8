#pragma once

#include "ActivityInfo.h"
#include "ListPairClass.h"
#include "VProtoBufMessage.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>

// Process-wide event hub: signals only. Senders emit on the instance, receivers connect to it,
// so parts that do not know each other can exchange events. The order of the signals is
// fixed (their meta-object indices are relied on).
class vSignalsMgr : public QObject
{
    Q_OBJECT
public:
    static vSignalsMgr *getInstance();

signals:
    void sigReStart();
    void sigUpdateMyLevelInfo();
    void sigQMenuVisible(bool visible);
    void sigHideSearchResult();
    void sigClearSearchText();
    void sigInputSearchText(const QString &text);
    void sigAddSearchHistory(const QString &userId, const QString &nickname, const QString &headUrl);
    void sigPannelToast(const QString &text);
    void sigLiveToast(const QString &text);
    void sigStopFloatingTimer();
    void sigRoomNoticeChange();
    void sigKnockMessage(int);
    void sigStopCar(const QString &userid);
    void sigSoundNotify(const QString &text);
    void sigOpenMic();
    void sigCloseMic(bool isBroadcast);
    void sigCloseBgMusicByMgr(bool bClose);
    void sigShowSoundSet();
    void sigShowSelectBg();
    void sigShowHbValueSet();
    void sigShowUnionClass(const ListPairClass &listClass);
    void sigSetRoomClass(int32_t type);
    void sigMainMicChanged(const QString &oldUserId, const QString &userId);
    void sigGroomMicChanged(const QString &oldUserId, const QString &userId);
    void sigMicFrameChanged(const QString &userId, const QString &headFrameId);
    void sigSubMicChanged(const QString &oldUserId, const QString &userId);
    void sigEnterRoom();
    void sigLeaveRoom();
    void sigShowAudioPanel();
    void sigRoomLogoApproved(const QString &roomLogo);
    void sigSendToastToJs(const QString &code);
    void sigStartOfficialBroadcast(const QString &officialContent, int officialPlayCount);
    void sigUpdateRankTotalData();
    void sigUpdateGiftRecordData();
    void sigSendRecreationId(const QString &id, const QString &userId, int result);
    void sigRecreationFinsh(const QString &userId);
    void sigUpadataBlackList();
    void sigMicType(const QString &targetId, int actType, int position);
    void sigUpadateMicNum(int);
    void sigRoomLock(bool isLock);
    void sigRequestCommonCountDownTipsUpdate(const ActivityInfo &);
    void sigTitleMessageBox(const QString &strText);
    void sigBuyTrueLove(int32_t position);
    void sigOpenNewRadioExplain();
    void sigGameOver();
    void sigChangePublicHeight(bool isAdd);
    void sigUseSummonCard(const QString &userId);
    void sigInitPKSet(bool isNeedShow);
    void sigShowPKSet();
    void sigShowPKTimeSet();
    void sigShowPKNumSet();
    void sigShowPKTypeSet();
    void sigShowPKRandomSet();
    void sigShowPKGroupSet();
    void sigPKGroupSelect(bool isSelect);
    void sigPKGroupMicChanged(const QString &userId, bool isSelect, bool isLeft);
    void sigPKGroupMicClear();
    void sigShowPKFriendSet();
    void sigShowPKFriendSetClose();
    void sigShowPkPunishmentSet();
    void sigUpdatePkTime1v1(int32_t type, int32_t duration, bool validRemainSecondToSuccessKill);
    void sigPKWidget1V1();
    void sigPKQuitRoom();
    void sigPkFightCancle();
    void sigvPkFriendTypeHide();
    void sigvPkFriendTypeResHide();
    void sigSwitchPkModle(bool isOpen, int pkMode);
    void sigPKEndTeamFight1V1();
    void sigPK1V1ShutUp(const QMap<QString, bool> &);
    void sigPK1V1Occupy(qlonglong remainTime);
    void sigPKEndTeamFight();
    void sigFinallyTenS();
    void sigStopFinallyTenS();
    void sigPKKillSucceed();
    void sigPKResultWidget();
    void sigPKBuffBarClose(bool isLeft);
    void sigPKEnterRoomWihtDao(const QMap<QString, QString> &mapMsg);
    void sigRoomButtonBarMoreButton();
    void sigSendBonusWidget();
    void sigHideSnowProgress();
    void sigShowSnowProgress();
    void sigUpdateSnowProgress();
    void sigHideHeadlineProgress();
    void sigShowHeadlineProgress();
    void sigUpdateHeadlineProgress();
    void sigHeadlineGiftChange(const QString &giftId);
    void sigRequestHongBaoRainInfoUpdate(const ActivityInfo &info);
    void sigRequestActivityRainInfoUpdate(const ActivityInfo &info);
    void sigUpdateFansIcon();
    void sigSendActivity(int id, const QString &sendUserId, const QString &toUserid);
    void sigBePranked(const QString &userId);
    void sigCloseMicCountDown(const QString &userId, int position);
    void sigSetMicCountDown(const QString &userId, int position, int sec);
    void sigCupidWaiting(const QString &sendId, const QString &recvId, int leftTime);
    void sigSendGiftDetail(const QString &senderId, const QString &recvId, const QString &giftId);
    void sigRecvIdChanged(const QString &recvId);
    void sigWishAngelInfoBroadcast(const QSharedPointer<VProtoBufMessage> &pbMsg);
    void sigSafeChatMode();
    void sigHeartBeatIconChanged(const QString &userId);
    void sigMarkShow();
    void sigPK1V1DataAfterAddTime();
    void sigUnionDownMic(const QString &userId, int micIdx);
    void sigSendGiftBroadCast(const QString &giftId);
    void sigUpdateGundamInfos();
    void sigCleanRoomMsg();
    void sigClearPubChatShow();
    void sigUpdateVirtualRole();
    void sigRoomGameStatusInfoBroadcast(const QSharedPointer<VProtoBufMessage> &pbMsg);
    void sigRoomGameStart(const QString &gameId);
    void sigRoomGameStop(const QString &gameId);
    void sigBanMicOpt(bool isBan);
    void sigRoomGameModeCheck(const QString &roomId);
    void sigEnterRoomGame(const QString &roomId, const QString &gameId);
    void sigExitRoomGame();
    void sigQuitGame();
    void sigSessionIdChanged();
    void sigResetChatUnreadCount();
    void sigSendHundredBox(const QStringList &list, const QString &giftId, int count, bool notSendAllMic);
    void sigFondDragonLockStatus(const QString &giftId, bool bLock);
    void sigSoundSpringInfoChanged(int type, int status, qlonglong score, const QString &roomId, bool shootOffFireworks);
    void sigOpenVIPpositionList(int viewType);
    void sigSwitchVideoWindowState(bool bOpen);
    void sigMoveAllBox(bool bPk);
    void sigVideoRoomOpenPartyStatusChanged(bool bopenParty);
    void sigPartyApplyMic(const QString &userId);
    void sigUserUpVideoMic(const QString &userId, bool bUp);
    void sigRoomBanInfo(const QString &userId, const QString &banMsg);
    void sigSwitchVideoFromBrd(const QString &userId, bool bOpen);
    void sigOpenBulletPanel(bool bOpen);
    void sigSendBulletChat(const QString &copyWriting, const QString &roomId);

private:
    vSignalsMgr();
};
