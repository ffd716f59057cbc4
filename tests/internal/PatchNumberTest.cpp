// The number text of a patch file name and its value as atoi reads it, held within 32 bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "report/VersionScan.h"

namespace {

TEST(PatchNumber, TextRunsFromTheFirstUnderscoreToTheFirstTxt) {
  const struct {
    const char* name;
    const char* text;
  } cases[] = {{"patch_12.txt", "12"},
               {"patch_.txt", ""},
               {"patch_1.txt.txt", "1"},
               {"patch_a_b.txt", "a_b"},
               {"patch_5", "5"},
               {"patch_5.TXT", "5.TXT"},
               {"a.txt_5", "5"},
               {"a.txt_5.txt", "5.txt"},
               {"plain.txt", "plain"},
               {"plain", "plain"},
               {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(korflowid::patchNumberText(c.name), c.text) << c.name;
}

TEST(PatchNumber, ValueAsAtoiReadsItSaturatedTo32Bits) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {{"007", 7},
               {"beta", 0},
               {"", 0},
               {"-3", -3},
               {"+4", 4},
               {" \t\n\v\f\r12", 12},
               {"- 3", 0},
               {"+-3", 0},
               {"12ab34", 12},
               {"2147483647", kMax},
               {"2147483648", kMax},
               {"4294967301", kMax},  // 2^32 + 5 must not wrap to 5
               {"-2147483648", kMin},
               {"-2147483649", kMin},
               {"-00000000000000000000000000000000000042", -42},
               {"999999999999999999999999999999999999", kMax},
               {"-999999999999999999999999999999999999", kMin}};
  for (const auto& c : cases) EXPECT_EQ(korflowid::patchNumberValue(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace
