// The buffered line reader against a plain model: text mode first, then a 200-byte getline.
#include "report/LineReader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "support/TestSupport.h"

namespace {

/// What text mode hands over: CR LF as LF, a lone CR kept, nothing from control-Z on.
std::string textMode(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\x1a'; ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += bytes[i];
  }
  return text;
}

/// Lines as a getline into 200 bytes yields them until its first failure.
std::vector<std::string> modelLines(std::string_view bytes) {
  const std::string text = textMode(bytes);
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t feed = text.find('\n', at);
    const std::size_t end = feed == std::string::npos ? text.size() : feed;
    if (end - at > korflowid::kMaxLineLength) break;
    lines.push_back(text.substr(at, end - at));
    if (feed == std::string::npos) break;
    at = feed + 1;
  }
  return lines;
}

std::vector<std::string> readerLines(const std::string& path) {
  korflowid::LineReader reader;
  EXPECT_TRUE(reader.open(path));
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) lines.emplace_back(line);
  EXPECT_FALSE(reader.next(line)) << "a failed read ends the file for good";
  return lines;
}

void expectLikeTheModel(const std::string& bytes) {
  korflowid::test::TempTree tree;
  const std::vector<std::string> expected = modelLines(bytes);
  const std::vector<std::string> actual = readerLines(tree.write("file.txt", bytes));
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(actual[i], expected[i]) << "line " << i;
}

TEST(LineReader, RefusesWhatIsNoRegularFile) {
  korflowid::test::TempTree tree;
  std::vector<std::string> paths = {tree.makeDirectory("directory")};
#if defined(_WIN32)
  // Device names open the device in any folder; reading CON would wait for console input.
  paths.insert(paths.end(), {"NUL", "CON", tree.path() + "NUL", tree.path() + "CON.txt"});
#else
  paths.insert(paths.end(), {"/dev/null", "/dev/zero"});
#endif
  for (const std::string& path : paths) {
    korflowid::LineReader reader;
    EXPECT_FALSE(reader.open(path)) << path;
  }
}

TEST(LineReader, ReadsWhatTheFileHoldsWhenReadNotWhenOpened) {
  std::string many;  // more than one read's worth of short lines
  for (int i = 0; i < 2000; ++i) many += std::to_string(i) + "\n";
  const struct {
    const char* what;
    std::string before;  // when the file is opened
    std::string after;   // when it is read
    std::string lines;   // each ended by a line feed
  } cases[] = {
      {"grown", "a\n", "a\nb\nc", "a\nb\nc\n"},
      {"shrunk", "a\nb\nc\n", "a\n", "a\n"},
      {"filled past one read", "", many, many},
  };
  for (const auto& c : cases) {
    korflowid::test::TempTree tree;
    const std::string path = tree.write("file.txt", c.before);
    korflowid::LineReader reader;
    ASSERT_TRUE(reader.open(path)) << c.what;
    tree.write("file.txt", c.after);
    std::string lines;
    std::string_view line;
    while (reader.next(line)) lines += std::string(line) + "\n";
    EXPECT_EQ(lines, c.lines) << c.what;
  }
}

TEST(LineReader, ChunkBoundariesAtAwkwardPlaces) {
  std::string lead;  // 4000 bytes of ordinary lines, so the cases below straddle byte 4096
  for (int i = 0; i < 40; ++i) lead += std::string(99, 'x') + "\n";
  for (std::size_t crAt = 4085; crAt <= 4100; ++crAt) {
    for (std::size_t longLine : {std::size_t{199}, std::size_t{200}}) {
      SCOPED_TRACE(testing::Message() << "CR at " << crAt << ", then " << longLine << " characters");
      const std::string pad(crAt - lead.size(), 'y');
      expectLikeTheModel(lead + pad + "\r\n" + std::string(longLine, 'z') + "\r\nafter\n");
      expectLikeTheModel(lead + pad + "\r\r\n" + std::string(longLine, 'z') + "\rafter");
      expectLikeTheModel(lead + pad + "\r");
      expectLikeTheModel(lead + pad + "\r\x1a" + "gone\n");
    }
  }
}

TEST(LineReader, RandomFilesReadAsTheModelReadsThem) {
  std::mt19937 random(20240506);
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    // Line feeds from dense to sparse, so lines fall on both sides of 199 characters.
    std::uniform_int_distribution<int> pick(0, 40 + round * 6);
    std::uniform_int_distribution<std::size_t> length(1, 14000);
    std::string bytes(length(random), 'a');
    for (char& c : bytes) {
      const int p = pick(random);
      c = p == 0 ? '\n' : p <= 3 ? '\r' : p == 4 ? '\0' : static_cast<char>('a' + p % 26);
    }
    if (round % 10 == 9) bytes[bytes.size() / 2] = '\x1a';
    expectLikeTheModel(bytes);
  }
}

}  // namespace
