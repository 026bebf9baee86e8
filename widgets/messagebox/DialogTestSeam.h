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

private:
    static AnswerFunction &function()
    {
        static AnswerFunction f;
        return f;
    }
};
