// Test entry point: remembers this binary so that tests can re-run themselves in a fresh process.
#include <gtest/gtest.h>

namespace korflowid::test {
void rememberTestBinary(const char* argv0);
}

int main(int argc, char** argv) {
  korflowid::test::rememberTestBinary(argv[0]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
