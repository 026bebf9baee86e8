#include "ServerPagesFixture.h"

#include "vSignalsMgr.h"

// A changed session id reaches every living page window's page.
class VCefWidgetSessionTest : public ServerPagesFixture
{
};

TEST_F(VCefWidgetSessionTest, SessionIdChangeIsSentToEveryWindow)
{
    VCefWidgetOSR *a = makeWindow();
    VCefWidgetOSR *b = makeWindow();
    QuadrelConfig::getInstance()->setConfig("sessionId", "sess-\"2\"");
    emit vSignalsMgr::getInstance()->sigSessionIdChanged();
    const QString expected = QStringLiteral(R"({"sessionId":"sess-\"2\"","type":"refreshSessionId"})");
    for (VCefWidgetOSR *w : {a, b}) {
        ASSERT_EQ(toWeb(w).size(), 1);
        EXPECT_EQ(toWeb(w).at(0).json, expected);
    }
}
