// The flow marker table seen through both entry points, and the cached flow id's lifecycle.
#include <KORFlow.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <ostream>
#include <string>

#include "support/TestSupport.h"

using korflowid::test::captureStdout;
using korflowid::test::inFreshModule;
using korflowid::test::ScopedEnvironment;
using korflowid::test::setEnvironment;

namespace {

const std::string kHomeMissingMessage = "Cannot locate Trevix environment using environment variable KOR_HOME\n";
const std::string kNotReducibleMessage = "Cannot compute value of KORROOT using getKORRoot\n";

const char* const kReleaseStrings[] = {"UNKNOWN", "5.2.6",  "5.2.7",  "GQ.0", "GQ.1",     "GQ.2",   "GQ",
                                       "3.6",     "GQ.1.1", "GQ.1.2", "4.1",  "GQ.1.1.1", "GQ.2.1", "GQ.2.2"};

std::string homeFor(const std::string& flowDirectory) {
  return "/inst/" + flowDirectory + "/kor";
}

std::string flowCode() {
  char buffer[32];
  std::memset(buffer, 0x5A, sizeof buffer);
  const unsigned int length = KORFlowID(buffer, sizeof buffer);
  EXPECT_LT(length, sizeof buffer);
  EXPECT_EQ(std::strlen(buffer), length);
  return buffer;
}

struct MarkerCase {
  const char* flowDirectory;
  KORFlow::FlowId id;
  const char* flowString;
  const char* code;
  KORFlow::FlowVersionId release;  // shows what removing the marker left as flow version text
};

void PrintTo(const MarkerCase& c, std::ostream* out) {
  *out << c.flowDirectory;
}

class FlowMarkers : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(FlowMarkers, BothEntryPoints) {
  inFreshModule([] {
    const MarkerCase& c = GetParam();
    SCOPED_TRACE(c.flowDirectory);
    ScopedEnvironment home("KOR_HOME", homeFor(c.flowDirectory));
    const std::string output = captureStdout([&] {
      EXPECT_EQ(flowCode(), c.code);
      // From cold, the release string walks the whole road down to the flow id.
      EXPECT_STREQ(KORFlow::GetFlowVersionString(), kReleaseStrings[c.release]);
      EXPECT_EQ(KORFlow::GetFlowId(), c.id);
      EXPECT_STREQ(KORFlow::GetFlowString(), c.flowString);
      EXPECT_EQ(KORFlow::GetFlowVersionId(), c.release);
    });
    EXPECT_EQ(output, "");
  });
}

INSTANTIATE_TEST_SUITE_P(
    Table, FlowMarkers,
    ::testing::Values(MarkerCase{"RJGQ.2.1", KORFlow::FlowRJ, "RJ", "RJ", KORFlow::VersionGQ_2_1},
                      MarkerCase{"KWGQ.1", KORFlow::FlowTAVOPro, "TAVOPro", "KW", KORFlow::VersionGQ_1},
                      MarkerCase{"KORGQ.1", KORFlow::FlowTAVOPro, "TAVOPro", "KW", KORFlow::VersionGQ_1},
                      MarkerCase{"OPVGQ.2", KORFlow::FlowOPV, "OPV", "OPV", KORFlow::VersionGQ_2},
                      MarkerCase{"TAVOProGQ.2", KORFlow::FlowTAVOPro, "TAVOPro", "TAVOPro", KORFlow::VersionGQ_2},
                      MarkerCase{"TAVOGQ.2", KORFlow::FlowTAVO, "TAVO", "TAVO", KORFlow::VersionGQ_2},
                      MarkerCase{"DOVQGQ.1", KORFlow::FlowTAVOPro, "TAVOPro", "DOVQ", KORFlow::VersionGQ_1},
                      MarkerCase{"MIRQGQ.2.2", KORFlow::FlowMIRQ, "MIRQ", "MIRQ", KORFlow::VersionGQ_2_2},
                      MarkerCase{"ZALGQ.0", KORFlow::FlowZAL, "ZAL", "ZAL", KORFlow::VersionGQ_0},
                      MarkerCase{"zTorvik_GQ.2", KORFlow::FlowZTorvik, "zTorvik", "zTorvik", KORFlow::VersionGQ_2},
                      // Only the flow code is content without the underscore.
                      MarkerCase{"zTorvikGQ.2", KORFlow::FlowUnknown, "UNKNOWN", "zTorvik", KORFlow::VersionUnknown},
                      // Table order beats position in the name; the marker is removed wherever it stands, once.
                      MarkerCase{"OPVRJGQ.2", KORFlow::FlowRJ, "RJ", "RJ", KORFlow::VersionUnknown},
                      MarkerCase{"GQRJ.2", KORFlow::FlowRJ, "RJ", "RJ", KORFlow::VersionGQ_2},
                      MarkerCase{"GQ.2.1RJ", KORFlow::FlowRJ, "RJ", "RJ", KORFlow::VersionGQ_2_1},
                      MarkerCase{"RJRJGQ", KORFlow::FlowRJ, "RJ", "RJ", KORFlow::VersionUnknown},
                      MarkerCase{"RJ14.2.0", KORFlow::FlowRJ, "RJ", "RJ", KORFlow::VersionGQ_1},
                      MarkerCase{"RJ", KORFlow::FlowRJ, "RJ", "RJ", KORFlow::VersionUnknown},
                      // No marker: the whole name is the code and the flow version text.
                      MarkerCase{"rjGQ.2.1", KORFlow::FlowUnknown, "UNKNOWN", "rjGQ.2.1", KORFlow::VersionUnknown},
                      MarkerCase{"GQ.2", KORFlow::FlowUnknown, "UNKNOWN", "GQ.2", KORFlow::VersionGQ_2}));

TEST(FlowIdCache, KeptOnceFoundWithoutReadingTheEnvironmentAgain) {
  inFreshModule([] {
    ScopedEnvironment home("KOR_HOME", homeFor("RJGQ.2.1"));
    EXPECT_STREQ(KORFlow::GetFlowString(), "RJ");
    for (const std::optional<std::string>& later : {std::optional<std::string>(), std::optional(homeFor("TAVOGQ.2"))}) {
      setEnvironment("KOR_HOME", later);
      EXPECT_EQ(captureStdout([] {
                  EXPECT_EQ(KORFlow::GetFlowId(), KORFlow::FlowRJ);
                  EXPECT_STREQ(KORFlow::GetFlowString(), "RJ");
                  EXPECT_EQ(KORFlow::GetFlowVersionId(), KORFlow::VersionGQ_2_1);
                  EXPECT_STREQ(KORFlow::GetFlowVersionString(), "GQ.2.1");
                }),
                "");
    }
    // The flow code keeps nothing and follows the environment.
    EXPECT_EQ(flowCode(), "TAVO");
    setEnvironment("KOR_HOME", std::nullopt);
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(KORFlowID(buffer, sizeof buffer), 0xFFFFFFFFu); }), kHomeMissingMessage);
    EXPECT_EQ(std::string(buffer, 4), std::string("\0xxx", 4));
  });
}

TEST(FlowIdCache, LooksAgainAndRepeatsMessagesWhileUnknown) {
  inFreshModule([] {
    ScopedEnvironment home("KOR_HOME", homeFor("TAVOGQ.2"));
    EXPECT_EQ(flowCode(), "TAVO");  // leaves nothing behind for the cached road

    setEnvironment("KOR_HOME", std::nullopt);
    std::string expected;
    for (int i = 0; i < 9; ++i) expected += kHomeMissingMessage;
    EXPECT_EQ(captureStdout([] {
                for (int i = 0; i < 3; ++i) EXPECT_EQ(KORFlow::GetFlowId(), KORFlow::FlowUnknown);
                for (int i = 0; i < 2; ++i) EXPECT_STREQ(KORFlow::GetFlowString(), "UNKNOWN");
                for (int i = 0; i < 2; ++i) EXPECT_EQ(KORFlow::GetFlowVersionId(), KORFlow::VersionUnknown);
                for (int i = 0; i < 2; ++i) EXPECT_STREQ(KORFlow::GetFlowVersionString(), "UNKNOWN");
              }),
              expected);

    setEnvironment("KOR_HOME", std::string("kor"));
    EXPECT_EQ(captureStdout([] {
                EXPECT_EQ(KORFlow::GetFlowId(), KORFlow::FlowUnknown);
                EXPECT_STREQ(KORFlow::GetFlowString(), "UNKNOWN");
              }),
              kNotReducibleMessage + kNotReducibleMessage);

    setEnvironment("KOR_HOME", homeFor("rjGQ.2.1"));
    EXPECT_EQ(captureStdout([] { EXPECT_EQ(KORFlow::GetFlowId(), KORFlow::FlowUnknown); }), "");
    setEnvironment("KOR_HOME", homeFor("OPVGQ.2"));
    EXPECT_EQ(KORFlow::GetFlowId(), KORFlow::FlowOPV);
  });
}

}  // namespace
