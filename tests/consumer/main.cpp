// Prints the flow, the release and the install id of the installation that KOR_HOME names.
#include <KORFlow.h>

#include <cstdio>

int main() {
  char installId[256] = {};
  KORFlow::GetInstallId(installId, sizeof installId - 1);
  std::printf("%s %s\n%s", KORFlow::GetFlowString(), KORFlow::GetFlowVersionString(), installId);
  return KORFlow::GetFlowId() == KORFlow::FlowUnknown ? 1 : 0;
}
