#include "MyRequests.h"

#include "Tamsel.h"
#define KIVO_REQUEST KIVO_DEFINE_REQUEST
#define KIVO_REQUEST_P KIVO_DEFINE_REQUEST_P
#define KIVO_REQUEST_RECORD KIVO_DEFINE_REQUEST_RECORD
#include "tables/MyRequests.inc"
#undef KIVO_REQUEST
#undef KIVO_REQUEST_P
#undef KIVO_REQUEST_RECORD

QtPromise::QPromise<KivoServerResponse> requestMyCmdReportUserWarn(const UserWarnReport &report)
{
    QStringList imageUrls;
    for (const UserWarnReport::Image &image : report.images)
        imageUrls << urlEncode(image.url);
    // The server expects the field even without images.
    if (imageUrls.isEmpty())
        imageUrls << QString();
    return KivoRequestBuilder("MyCmd.reportUserWarn")
        .setString("illegalId", report.illegalId)
        .setInt32("entrance", report.entrance)
        .setInt32("reason", report.reason)
        .setInt64("reportTime", report.reportTime)
        .setString("reportContent", report.reportContent)
        .setBool("isBlock", report.isBlock)
        .setString("chatContent", report.chatContent)
        .addEachString("imgsUrl", imageUrls)
        .setStringIf(!report.currRoomId.isEmpty(), "currRoomId", report.currRoomId)
        .send();
}
