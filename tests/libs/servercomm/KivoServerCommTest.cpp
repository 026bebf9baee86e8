#include "KivoServerComm.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(KivoServerCommTest, SeamAnswersAndEmptySeamRestoresTheDefault)
{
    KivoServerComm *comm = KivoServerComm::getInstance();
    QString seen;
    comm->setRequestSeam([&seen](const VProtoBufMessage &m) {
        seen = m.typeName();
        KivoServerResponse r;
        r.resultCode = 1;
        r.resultMessage = "ok";
        return QtPromise::QPromise<KivoServerResponse>::resolve(r);
    });
    int code = 0;
    {
        VProtoBufMessage msg;
        ASSERT_TRUE(msg.make("BroadcastResult.proto", "BroadcastResult.OfficialBroadcast"));
        comm->requestKivoServer(msg).then([&code](const KivoServerResponse &r) { code = r.resultCode; });
    }
    EXPECT_TRUE(waitUntil([&] { return code == 1; }));
    EXPECT_EQ(seen, "BroadcastResult.OfficialBroadcast");

    comm->setRequestSeam({});
    int rejected = 0;
    VProtoBufMessage msg;
    ASSERT_TRUE(msg.make("BroadcastResult.proto", "BroadcastResult.OfficialBroadcast"));
    comm->requestKivoServer(msg).fail([&rejected](const vErrorInfo &e) {
        rejected = e.code;
        return KivoServerResponse();
    });
    EXPECT_TRUE(waitUntil([&] { return rejected == -1; }));
}
