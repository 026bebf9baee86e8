#include "PelorinCode.h"

PelorinCode *PelorinCode::getInstance()
{
    static PelorinCode instance;
    return &instance;
}

PelorinCode::PelorinCode() : QObject(nullptr) {}

bool PelorinCode::isSuccess(int code) const { return code == 1; }
bool PelorinCode::isCodeMinus201(int code) const { return code == -201; }
bool PelorinCode::isCodeMinus2(int code) const { return code == -2; }
bool PelorinCode::isCode1016(int code) const { return code == 1016; }
bool PelorinCode::isCode2000(int code) const { return code == 2000; }
bool PelorinCode::isCode2904(int code) const { return code == 2904; }
bool PelorinCode::isCode3042(int code) const { return code == 3042; }
bool PelorinCode::isCode3022Or3073(int code) const { return code == 3022 || code == 3073; }
bool PelorinCode::isCode3167(int code) const { return code == 3167; }
bool PelorinCode::isCode3204Group(int code) const
{
    // 3205 is not one of them.
    return code == 3204 || code == 3206 || code == 3207 || code == 3208;
}
bool PelorinCode::isCode3278(int code) const { return code == 3278; }
int PelorinCode::codeValue(int code) const { return code; }
