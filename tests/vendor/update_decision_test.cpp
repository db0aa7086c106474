#include <gtest/gtest.h>

#include "JsonReply.h"
#include "UpdateDecision.h"

namespace {

TEST(UpdateDecision, EveryRowOfTheDecisionTable)
{
    auto decide = [](const char* reply) { return DecideUpdate(ReadJsonReply(reply)); };
    const auto current = decide(R"({"result":1,"info":{"version":"3.1.0","sid":"57","must":"0"}})");
    EXPECT_EQ(current.kind, UpdateDecision::Current);
    for (const char* version : {"3.2.0", "3.0.9", "3.1.0 ", "V3.1.0"}) {
        const std::string reply =
            std::string(R"({"result":1,"info":{"version":")") + version + R"(","sid":"57","must":0}})";
        const auto offer = decide(reply.c_str());
        EXPECT_EQ(offer.kind, UpdateDecision::Offer) << version;
        EXPECT_EQ(offer.version.toStdString(), version);
        EXPECT_EQ(offer.sid, "57");
        EXPECT_FALSE(offer.mandatory);
    }
    EXPECT_TRUE(decide(R"({"result":1,"info":{"version":"4","sid":"1","must":"1"}})").mandatory);
    EXPECT_TRUE(decide(R"({"result":1,"info":{"version":"4","sid":"1","must":"yes"}})").mandatory);
    EXPECT_EQ(decide(R"({"result":0,"msg":"x"})").kind, UpdateDecision::Failed);
    EXPECT_EQ(decide(R"({"result":"0","info":{"version":"4","sid":"1","must":"1"}})").kind, UpdateDecision::Failed);
    EXPECT_EQ(decide("").kind, UpdateDecision::Failed);
    EXPECT_EQ(decide("<html></html>").kind, UpdateDecision::Failed);
    EXPECT_EQ(decide(R"({"result":1,"info":{"version":"3.1.0","sid":"57"}})").kind, UpdateDecision::Failed);
    EXPECT_EQ(decide(R"({"info":{"version":"3.1.0","sid":"57","must":"0"}})").kind, UpdateDecision::Failed);
}

} // namespace
