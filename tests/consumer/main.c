/* Prints what tests/consumer/main.cpp prints, through the C interface. */
#include <korflowid.h>
#include <stdio.h>

int main(void) {
  const char* flow = NULL;
  const char* release = NULL;
  char installId[256];
  if (kor_flow(NULL, NULL, &flow) != KOR_OK || kor_release(NULL, NULL, &release) != KOR_OK) return 1;
  if (kor_value(NULL, KOR_FIELD_INSTALL_ID, installId, sizeof installId, NULL) != KOR_OK) return 1;
  printf("%s %s\nInstall Id: %s\n", flow, release, installId);
  return 0;
}
