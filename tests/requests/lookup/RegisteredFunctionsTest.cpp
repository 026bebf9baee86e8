// The request-name lookup: an empty table answers 0 for every name; an entry is called.

#include <gtest/gtest.h>

#include "RegisteredFunctions.h"

namespace {
int answerSeven()
{
    return 7;
}
} // namespace

class RegisteredFunctionsTest : public ::testing::Test
{
protected:
    void TearDown() override { registeredFunctionTable().clear(); }
};

TEST_F(RegisteredFunctionsTest, NothingFillsTheTableSoEveryNameGivesZero)
{
    EXPECT_TRUE(registeredFunctionTable().isEmpty());
    EXPECT_EQ(invokeRegisteredFunction("requestPrankCmdAddPrank"), 0);
    EXPECT_EQ(invokeRegisteredFunction(QString()), 0);
}

TEST_F(RegisteredFunctionsTest, AnEntryIsCalledAndItsResultReturned)
{
    registeredFunctionTable().insert("seven", &answerSeven);
    EXPECT_EQ(invokeRegisteredFunction("seven"), 7);
    EXPECT_EQ(invokeRegisteredFunction("Seven"), 0) << "names are case-sensitive";
    EXPECT_EQ(&registeredFunctionTable(), &registeredFunctionTable()) << "one table";
}

TEST_F(RegisteredFunctionsTest, ANullEntryGivesZero)
{
    registeredFunctionTable().insert("empty", nullptr);
    EXPECT_EQ(invokeRegisteredFunction("empty"), 0);
}
