#pragma once

#include "KivoServerResponse.h"
#include "PelorinCode.h"
#include "vErrorInfo.h"

#include <QtPromise>

#include <QPointer>

// How the unlock dialogs send a request and take its answer. A result code that is not success
// becomes a vErrorInfo rejection; exactly one of failure (vErrorInfo) or otherFailure (anything
// else) runs on a failure; finished runs after every outcome. Every handler gets the dialog and
// runs only while it still exists.
template <class Dialog, class Success, class Failure, class OtherFailure, class Finished>
void chainSafeModeRequest(const QtPromise::QPromise<KivoServerResponse> &request, Dialog *dialog, Success success,
                          Failure failure, OtherFailure otherFailure, Finished finished)
{
    const QPointer<Dialog> self(dialog);
    request
        .then([self, success](const KivoServerResponse &response) {
            if (!self)
                return;
            if (!PelorinCode::getInstance()->isSuccess(response.resultCode))
                throw vErrorInfo(response.resultMessage, response.resultCode);
            success(self.data());
        })
        .fail([self, failure](const vErrorInfo &error) {
            if (self)
                failure(self.data(), error);
        })
        .fail([self, otherFailure]() {
            if (self)
                otherFailure(self.data());
        })
        .finally([self, finished]() {
            if (self)
                finished(self.data());
        });
}

template <class Dialog, class Success, class Failure, class OtherFailure>
void chainSafeModeRequest(const QtPromise::QPromise<KivoServerResponse> &request, Dialog *dialog, Success success,
                          Failure failure, OtherFailure otherFailure)
{
    chainSafeModeRequest(request, dialog, success, failure, otherFailure, [](Dialog *) {});
}
