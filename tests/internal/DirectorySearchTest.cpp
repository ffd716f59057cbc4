// The directory search's wildcard rules and path text, which the POSIX flavour implements itself, and
// the name order that breaks ties.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/DirectorySearch.h"
#include "rules/TreeNames.h"
#include "support/TestSupport.h"

#if !defined(_WIN32)
#include "platform/posix/FileSystem.h"
#endif

namespace {

#if !defined(_WIN32)  // Windows matches through the C runtime, without regard to case
using korflowid::platform::DirectorySearch;

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
      {"patch_*.txt", {"Patch_3.txt", "patch_.txt", "patch_1.txt"}},
      {"PATCH_*.TXT", {"Patch_3.txt", "patch_.txt", "patch_1.txt"}},
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
    DirectorySearch search(tree.path(), c.pattern);
    std::vector<std::string> found;
    for (std::size_t i = 0; i < search.size(); ++i) found.push_back(search.name(i));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, c.names) << c.pattern;
  }
  EXPECT_EQ(DirectorySearch(tree.path() + "missing/", "*").size(), 0u);
}

TEST(DirectorySearch, DotDotRemovesTheSegmentBeforeItInTheText) {
  const struct {
    const char* path;
    const char* textual;
  } cases[] = {
      {"/i/RJGQ.2.1/kor/../InstallVersions/", "/i/RJGQ.2.1/InstallVersions/"},
      {"/i/./a//b/./../", "/i/a/"},
      {"/..", "/"},
      {"kor/../", ""},
      {"", ""},
      {"a/../../x/./", "../x/"},
      {"../../a/..", "../../"},
      {"a/..b/../c", "a/c"},
  };
  for (const auto& c : cases) EXPECT_EQ(korflowid::platform::textualPath(c.path), c.textual) << c.path;
}

#endif

TEST(DirectorySearch, NameOrderIsUpperCasedBytes) {
  // Upper-casing puts "_" after the letters, where lower-casing or plain bytes would not.
  std::vector<std::string> names = {"c", "_", "B", "a", "b", "A", "", "ab", "\xe4", "Z"};
  std::sort(names.begin(), names.end(), korflowid::precedesInNameOrder);
  EXPECT_EQ(names, (std::vector<std::string>{"", "A", "a", "ab", "B", "b", "c", "Z", "_", "\xe4"}));
}

}  // namespace
