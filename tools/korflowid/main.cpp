// korflowid: shows what the library finds for an installation.
#include <KORFlow.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc) {
      setenv("KOR_HOME", argv[++i], 1);
    }
  }
  char root[4096];
  const unsigned int rootLength = getKORRoot(root, sizeof root);
  char code[256];
  const unsigned int codeLength = KORFlowID(code, sizeof code);
  std::printf("root: %.*s\n", static_cast<int>(rootLength < sizeof root ? rootLength : 0), root);
  std::printf("flow code: %s (%u)\n", codeLength < sizeof code ? code : "", codeLength);
  std::printf("flow: %d %s\n", KORFlow::GetFlowId(), KORFlow::GetFlowString());
  std::printf("release: %d %s\n", KORFlow::GetFlowVersionId(), KORFlow::GetFlowVersionString());
  std::printf("report:\n%s", KORFlowID());
  char line[256];
  std::printf("install id: %s", KORFlow::GetInstallId(line, sizeof line));
  return 0;
}
