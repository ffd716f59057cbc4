// The release: the flow version text compared as a whole with the release table.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

using korflowid::test::captureStdout;
using korflowid::test::inFreshModule;
using korflowid::test::ScopedEnvironment;
using korflowid::test::setEnvironment;

namespace {

std::string homeFor(const std::string& flowDirectory) {
  return "/inst/" + flowDirectory + "/kor";
}

// A flow directory without marker leaves the flow id unknown, so every call reads KOR_HOME again and
// one process can walk the whole table.
TEST(FlowVersion, WholeTextEqualsOneReleaseString) {
  inFreshModule([] {
    const struct {
      const char* text;
      KORFlow::FlowVersionId id;
      const char* string;
    } cases[] = {
        {"5.2.6", KORFlow::Version5_2_6, "5.2.6"},
        {"5.2.7", KORFlow::Version5_2_7, "5.2.7"},
        {"GQ.0", KORFlow::VersionGQ_0, "GQ.0"},
        {"GQ.1.1.1", KORFlow::VersionGQ_1_1_1, "GQ.1.1.1"},
        {"GQ.1.1", KORFlow::VersionGQ_1_1, "GQ.1.1"},
        {"GQ.1.2", KORFlow::VersionGQ_1_2, "GQ.1.2"},
        {"GQ.1", KORFlow::VersionGQ_1, "GQ.1"},
        {"GQ.2.1", KORFlow::VersionGQ_2_1, "GQ.2.1"},
        {"GQ.2.2", KORFlow::VersionGQ_2_2, "GQ.2.2"},
        {"GQ.2", KORFlow::VersionGQ_2, "GQ.2"},
        {"GQ", KORFlow::VersionGQ, "GQ"},
        {"14.2.0", KORFlow::VersionGQ_1, "GQ.1"},  // an older name of GQ.1
        {"3.6", KORFlow::Version3_6, "3.6"},
        {"4.1", KORFlow::Version4_1, "4.1"},
        // Neither prefix, nor suffix, nor another case matches.
        {"GQ.2.1a", KORFlow::VersionUnknown, "UNKNOWN"},
        {"GQ.2.1 ", KORFlow::VersionUnknown, "UNKNOWN"},
        {"gq.2.1", KORFlow::VersionUnknown, "UNKNOWN"},
        {"GQ.1.1.1.1", KORFlow::VersionUnknown, "UNKNOWN"},
        {"GQ.", KORFlow::VersionUnknown, "UNKNOWN"},
        {"5.2", KORFlow::VersionUnknown, "UNKNOWN"},
        {"14.2", KORFlow::VersionUnknown, "UNKNOWN"},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.text);
      ScopedEnvironment home("KOR_HOME", homeFor(c.text));
      EXPECT_EQ(captureStdout([&] {
                  EXPECT_EQ(KORFlow::GetFlowVersionId(), c.id);
                  EXPECT_STREQ(KORFlow::GetFlowVersionString(), c.string);
                  EXPECT_EQ(KORFlow::GetFlowId(), KORFlow::FlowUnknown);
                }),
                "");
    }
  });
}

TEST(FlowVersion, IdIsComparedAgainWhileTheStringKeepsAKnownValue) {
  inFreshModule([] {
    ScopedEnvironment home("KOR_HOME", homeFor("GQ.2"));
    EXPECT_STREQ(KORFlow::GetFlowVersionString(), "GQ.2");
    setEnvironment("KOR_HOME", homeFor("GQ.1"));
    EXPECT_STREQ(KORFlow::GetFlowVersionString(), "GQ.2");
    EXPECT_EQ(KORFlow::GetFlowVersionId(), KORFlow::VersionGQ_1);
    EXPECT_STREQ(KORFlow::GetFlowVersionString(), "GQ.1");

    // A failed look leaves the flow version text as it was; only the message tells.
    setEnvironment("KOR_HOME", std::nullopt);
    EXPECT_EQ(captureStdout([] {
                EXPECT_EQ(KORFlow::GetFlowVersionId(), KORFlow::VersionGQ_1);
                EXPECT_STREQ(KORFlow::GetFlowVersionString(), "GQ.1");
              }),
              "Cannot locate Trevix environment using environment variable KOR_HOME\n");
    setEnvironment("KOR_HOME", std::string("D:"));
    EXPECT_EQ(captureStdout([] { EXPECT_EQ(KORFlow::GetFlowVersionId(), KORFlow::VersionGQ_1); }),
              "Cannot compute value of KORROOT using getKORRoot\n");

    setEnvironment("KOR_HOME", homeFor("GQ.9"));
    EXPECT_EQ(KORFlow::GetFlowVersionId(), KORFlow::VersionUnknown);
    EXPECT_STREQ(KORFlow::GetFlowVersionString(), "UNKNOWN");

    // Once a marker fixed the flow id, the flow version text is no longer rewritten.
    setEnvironment("KOR_HOME", homeFor("MIRQGQ.2.2"));
    EXPECT_EQ(KORFlow::GetFlowVersionId(), KORFlow::VersionGQ_2_2);
    setEnvironment("KOR_HOME", homeFor("GQ.1"));
    EXPECT_EQ(KORFlow::GetFlowVersionId(), KORFlow::VersionGQ_2_2);
    EXPECT_EQ(KORFlow::GetFlowId(), KORFlow::FlowMIRQ);
  });
}

}  // namespace
