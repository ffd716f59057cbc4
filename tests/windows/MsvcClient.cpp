// An application built the MSVC way: clang in MSVC mode, linked by lld-link against KORFlowID.lib
// alone. There is no MSVC runtime here, so it brings its own entry point and borrows printf from the
// system's C runtime. It calls every export through the names an MSVC-built caller asks for.
#include <KORFlow.h>

extern "C" __declspec(dllimport) int printf(const char* format, ...);
extern "C" __declspec(dllimport) void exit(int status);

namespace {

// Static, not on the stack: without a C runtime there is no stack probe for large frames.
char gText[20000];

unsigned int lengthOf(const char* text) {
  unsigned int length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

struct LineGetter {
  const char* name;
  char* (*get)(char*, unsigned int);
};

}  // namespace

extern "C" void mainCRTStartup() {
  printf("flow %s (%d)\n", KORFlow::GetFlowString(), static_cast<int>(KORFlow::GetFlowId()));
  printf("release %s (%d)\n", KORFlow::GetFlowVersionString(), static_cast<int>(KORFlow::GetFlowVersionId()));

  char code[8] = {};
  const unsigned int codeLength = KORFlowID(code, sizeof code);
  printf("flow code %s %u\n", code, codeLength);

  const LineGetter lines[] = {
      {"install id", KORFlow::GetInstallId},    {"access date", KORFlow::GetExactAccessDate},
      {"flow id", KORFlow::GetFlowId_fromFile}, {"full flow name", KORFlow::GetFullFlowName},
      {"update name", KORFlow::GetUpdateName},  {"abbreviated", KORFlow::GetAbbreviatedFlowName}};
  for (const LineGetter& line : lines) {
    char buffer[256] = {};
    printf("%s: %s", line.name, line.get(buffer, sizeof buffer - 1));
  }

  const unsigned int reportLength = lengthOf(KORFlowID());
  const char* copy = KORFlow::GetVersionText(gText, sizeof gText - 1);
  printf("report %u bytes, copy %u bytes\n", reportLength, copy == gText ? lengthOf(gText) : 0u);

  const unsigned int rootLength = getKORRoot(nullptr, 0);
  for (char& c : gText) c = '\0';
  getKORRoot(gText, sizeof gText - 1);
  printf("root %u bytes: %s\n", rootLength, gText);
  exit(0);
}
