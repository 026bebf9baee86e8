#include "PelorinCode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

struct Row
{
    const char *name;
    std::function<bool(int)> test;
    std::vector<int> accepted;
};

std::vector<Row> rows()
{
    PelorinCode *c = PelorinCode::getInstance();
    return {
        {"isSuccess", [c](int v) { return c->isSuccess(v); }, {1}},
        {"isCodeMinus201", [c](int v) { return c->isCodeMinus201(v); }, {-201}},
        {"isCodeMinus2", [c](int v) { return c->isCodeMinus2(v); }, {-2}},
        {"isCode1016", [c](int v) { return c->isCode1016(v); }, {1016}},
        {"isCode2000", [c](int v) { return c->isCode2000(v); }, {2000}},
        {"isCode2904", [c](int v) { return c->isCode2904(v); }, {2904}},
        {"isCode3042", [c](int v) { return c->isCode3042(v); }, {3042}},
        {"isCode3022Or3073", [c](int v) { return c->isCode3022Or3073(v); }, {3022, 3073}},
        {"isCode3167", [c](int v) { return c->isCode3167(v); }, {3167}},
        {"isCode3204Group", [c](int v) { return c->isCode3204Group(v); }, {3204, 3206, 3207, 3208}},
        {"isCode3278", [c](int v) { return c->isCode3278(v); }, {3278}},
    };
}

} // namespace

TEST(PelorinCodeTest, EachPredicateAcceptsExactlyItsCodes)
{
    const std::vector<int> probes = {0, 1, -1, -2, -201, 2, 1016, 2000, 2904, 3042, 3022, 3073, 3167,
                                     3204, 3205, 3206, 3207, 3208, 3209, 3278, 10000};
    for (const Row &row : rows()) {
        for (int code : probes) {
            const bool expected = std::find(row.accepted.begin(), row.accepted.end(), code) != row.accepted.end();
            EXPECT_EQ(row.test(code), expected) << row.name << " " << code;
        }
    }
}

TEST(PelorinCodeTest, CodeValueIsTheCodeAndInstanceIsShared)
{
    EXPECT_EQ(PelorinCode::getInstance()->codeValue(-201), -201);
    EXPECT_EQ(PelorinCode::getInstance()->codeValue(3205), 3205);
    EXPECT_EQ(PelorinCode::getInstance(), PelorinCode::getInstance());
}
