#pragma once

#include <QObject>

// Tests applied to the result code of a server response, so the numbers live in one place.
class PelorinCode : public QObject
{
    Q_OBJECT
public:
    static PelorinCode *getInstance();

    bool isSuccess(int code) const;
    bool isCodeMinus201(int code) const;
    bool isCodeMinus2(int code) const;
    bool isCode1016(int code) const;
    bool isCode2000(int code) const;
    bool isCode2904(int code) const;
    bool isCode3042(int code) const;
    bool isCode3022Or3073(int code) const;
    bool isCode3167(int code) const;
    bool isCode3204Group(int code) const;
    bool isCode3278(int code) const;
    int codeValue(int code) const;

private:
    PelorinCode();
};
