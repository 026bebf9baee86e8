#pragma once

#include "KivoServerResponse.h"
#include "vErrorInfo.h"

#include <QtPromise>

#include <QThread>

#include <memory>

// What became of one server request, filled in when its promise settles.
struct Outcome
{
    bool settled = false;
    bool fulfilled = false;
    KivoServerResponse response;
    vErrorInfo error;
    QThread *thread = nullptr;
};

inline std::shared_ptr<Outcome> track(QtPromise::QPromise<KivoServerResponse> promise)
{
    auto outcome = std::make_shared<Outcome>();
    promise
        .then([outcome](const KivoServerResponse &r) {
            outcome->response = r;
            outcome->fulfilled = true;
            outcome->thread = QThread::currentThread();
            outcome->settled = true;
        })
        .fail([outcome](const vErrorInfo &e) {
            outcome->error = e;
            outcome->thread = QThread::currentThread();
            outcome->settled = true;
        });
    return outcome;
}
