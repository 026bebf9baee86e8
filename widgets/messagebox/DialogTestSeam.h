#pragma once

#include "DialogAnswer.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <functional>

// The test seam of one kind of blocking box. While an answer function is set, every box of the
// kind that runs exec() through here is answered by it as soon as its event loop runs (the box
// is open and the active modal widget then). An empty function restores people.
template<class Box>
class DialogTestSeam
{
public:
    using AnswerFunction = std::function<DialogAnswer(Box &box)>;
    // Carries an answer out on the box (clicks the button it stands for).
    using Apply = std::function<void(Box &box, DialogAnswer answer)>;

    static void set(AnswerFunction answer) { function() = std::move(answer); }
    static bool isSet() { return bool(function()); }

    static int exec(Box &box, const Apply &apply)
    {
        if (function()) {
            const AnswerFunction answer = function();
            QPointer<Box> guard(&box);
            QTimer::singleShot(0, &box, [guard, answer, apply]() {
                if (!guard || !guard->isVisible())
                    return;
                apply(*guard, answer(*guard));
                // An answer that did not finish the box must not leave a test waiting.
                if (guard && guard->isVisible())
                    guard->done(-1);
            });
        }
        return box.exec();
    }

    // Runs a box built on the heap for one blocking call, then deletes it. Its parent may be
    // deleted while it waits and take the box along (a box on the caller's stack would then be
    // deleted twice); the call then gives `gone`. Otherwise it gives resultOf(box, code), taken
    // when the box finishes with that code.
    template<class Result>
    static Result execOwned(Box *box, const Apply &apply, const std::function<Result(Box &, int)> &resultOf,
                            Result gone)
    {
        const QPointer<Box> guard(box);
        Result result = gone;
        QObject::connect(box, &QDialog::finished, box,
                         [box, &result, &resultOf](int code) { result = resultOf(*box, code); });
        exec(*box, apply);
        delete guard.data();
        return result;
    }

private:
    static AnswerFunction &function()
    {
        static AnswerFunction f;
        return f;
    }
};
