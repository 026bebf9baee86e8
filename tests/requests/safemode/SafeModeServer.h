#pragma once

#include "KivoServerResponse.h"

#include <QtPromise>

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

class QLineEdit;
class QTimer;
class VToast;

// Stands in for the server while it lives: every request is recorded and left pending until
// the test answers the oldest one.
class SafeModeServer
{
public:
    SafeModeServer();
    ~SafeModeServer();

    struct Sent
    {
        QString method;
        QJsonObject fields;
    };
    QList<Sent> sent;

    int pending() const { return m_pending.size(); }
    // Settle the oldest pending request.
    void answer(int code, const QString &message = QString());
    void rejectWithError(const QString &text, int code);
    void rejectOther();

    // A named control of a dialog; a test failure when it is missing.
    template <class T>
    static T *child(QWidget *dialog, const char *name)
    {
        T *w = dialog->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Typing: each character goes through the field's validator.
    static void type(QLineEdit *field, const QString &text);

    // The dialog's toast text while it shows, else empty.
    static QString toastText(QWidget *dialog);
    // Hides the toast, so that the next one is seen even with the same text.
    static void hideToast(QWidget *dialog);
    // Runs the continuations that are due.
    static void settle();
    // Fires a dialog's timer as if its interval had passed.
    static void fire(QTimer *timer);

private:
    struct Pending
    {
        std::function<void(const KivoServerResponse &)> resolve;
        std::function<void(std::exception_ptr)> reject;
    };
    Pending take();
    QList<Pending> m_pending;
};
