// The directory search's wildcard rules, which the POSIX flavour implements itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/DirectorySearch.h"
#include "support/TestSupport.h"

namespace {

using korflowid::platform::findMatches;

#if !defined(_WIN32)  // Windows matches through the C runtime, without regard to case
TEST(DirectorySearch, WildcardsMatchWholeNames) {
  korflowid::test::TempTree tree;
  for (const char* name : {"patch_1.txt", "patch_.txt", "patch_1.txt.bak", "xpatch_2.txt", "Patch_3.txt", "abcabc",
                           "abc", "aXbXc", "ab", "a.txt.txt"}) {
    tree.write(name, "");
  }
  const struct {
    const char* pattern;
    std::vector<std::string> names;
  } cases[] = {
      {"patch_*.txt", {"patch_.txt", "patch_1.txt"}},
      {"*.txt", {"Patch_3.txt", "a.txt.txt", "patch_.txt", "patch_1.txt", "xpatch_2.txt"}},
      {"a*b*c", {"aXbXc", "abc", "abcabc"}},
      {"a?b?c", {"aXbXc"}},
      {"*c*c", {"abcabc"}},
      {"abc", {"abc"}},
      {"ab*", {"ab", "abc", "abcabc"}},
      {"*.txt.*", {"a.txt.txt", "patch_1.txt.bak"}},
      {"a?", {"ab"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> found;
    for (const auto& match : findMatches(tree.path() + c.pattern)) found.push_back(match.name);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, c.names) << c.pattern;
  }
  EXPECT_TRUE(findMatches(tree.path() + "missing/*").empty());
}
#endif

}  // namespace
