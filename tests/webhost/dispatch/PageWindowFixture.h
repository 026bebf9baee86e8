#pragma once

#include <gtest/gtest.h>

#include <QDataStream>
#include <QPointer>

#include "QuadrelConfig.h"
#include "TestSupport.h"
#include "VCefProcessManager.h"
#include "VCefWidgetOSR.h"
#include "VCefProtocol.h"

// Page windows whose host never answers: everything they send stays in their queue, where
// the tests read it. Their process items run a sleeping shell instead of pagewell.
class PageWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        work.write(QStringLiteral("config/ambrel.json"),
                   R"({"CEF_ShowDevToos": "0", "CefUrls": {"giftPage": "http://pages.test/gift.html"}})");
        QuadrelConfig::getInstance()->reload();
        // A stand-in web host that ends with the test (its input closes) and holds no output
        // of the test runner.
        for (int kind : {0, 1})
            VCefProcessManager::getInstance()->processItem(kind)->setProgram(
                QStringLiteral("sh -c \"exec cat >/dev/null 2>&1\""));
    }
    void TearDown() override
    {
        for (const QPointer<VCefWidgetOSR> &w : windows)
            delete w.data();
        VCefProcessManager::destroyInstance();
    }
    VCefWidgetOSR *makeWindow()
    {
        auto *w = new VCefWidgetOSR;
        windows.append(w);
        return w;
    }

    struct Reply
    {
        qint64 queryId = -99;
        QString text;
        bool ok = false;
    };
    static QList<Reply> replies(VCefWidgetAbstract *w)
    {
        QList<Reply> out;
        for (const stuCefViewRequest &req : w->queuedRequests()) {
            if (req.type != 7)
                continue;
            QDataStream in(req.payload);
            Reply r;
            in >> r.queryId >> r.text >> r.ok;
            out.append(r);
        }
        return out;
    }
    static QStringList loadedUrls(VCefWidgetAbstract *w)
    {
        QStringList out;
        for (const stuCefViewRequest &req : w->queuedRequests()) {
            if (req.type != 3)
                continue;
            QDataStream in(req.payload);
            QString url;
            in >> url;
            out.append(url);
        }
        return out;
    }

    TempWorkDir work;
    QList<QPointer<VCefWidgetOSR>> windows;
};
