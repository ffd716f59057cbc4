/* A C99 caller of the installed C interface: prints what the library finds for the installation
 * KOR_HOME names, then asks again with that home given, which must answer the same. */
#include <korflowid.h>

#ifdef KORFLOWID_CALLER_WITHOUT_CRT_HEADERS
int printf(const char* format, ...); /* the system's C runtime, whose headers this build lacks */
#else
#include <stdio.h>
#endif

#define TEXT_SIZE 512

static const char* const labels[] = {
    "Install Id:", "Exact Access Date:", "Flow Id:", "Full Flow Name:", "UPDATE Name:", "abbreviated flow name:"};

static int failed(const char* what, kor_status status) {
  printf("%s: %s (%d)\n", what, kor_status_text(status), (int)status);
  return 1;
}

static int same(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

/* Prints the installation's answers, or compares them with `printed` when `home` is given. */
static int show(const char* home, char (*printed)[TEXT_SIZE]) {
  char text[TEXT_SIZE];
  size_t length = 0;
  int32_t id = 0;
  const char* name = "";
  kor_status status;
  int line = 0;
  int field;

  status = kor_flow(home, &id, &name);
  if (status != KOR_OK) return failed("flow", status);
  if (home == NULL) printf("flow %s (%d)\n", name, (int)id);
  status = kor_release(home, &id, &name);
  if (status != KOR_OK) return failed("release", status);
  if (home == NULL) printf("release %s (%d)\n", name, (int)id);
  status = kor_flow_code(home, text, sizeof text, &length);
  if (status != KOR_OK) return failed("flow code", status);
  if (home == NULL) printf("flow code %s (%lu bytes)\n", text, (unsigned long)length);

  for (field = KOR_FIELD_INSTALL_ID; field <= KOR_FIELD_ABBREVIATED_FLOW_NAME; ++field, ++line) {
    status = kor_value(home, field, text, sizeof text, &length);
    if (status != KOR_OK) return failed(labels[line], status);
    if (home == NULL) {
      printf("%s %s\n", labels[line], text);
      for (length = 0; (printed[line][length] = text[length]) != '\0'; ++length) continue;
    } else if (!same(printed[line], text)) {
      printf("%s differs for the home given: %s\n", labels[line], text);
      return 1;
    }
  }
  status = kor_label_value(home, "Install Directory:", text, sizeof text, NULL);
  if (status != KOR_OK) return failed("Install Directory:", status);
  if (home == NULL) printf("Install Directory: %s\n", text);
  status = kor_report(home, NULL, 0, &length);
  if (status != KOR_OK) return failed("report", status);
  if (home == NULL) printf("report %lu bytes\n", (unsigned long)length);
  return 0;
}

int main(void) {
  char printed[6][TEXT_SIZE];
  char home[TEXT_SIZE];
  size_t length = 0;
  kor_status status;

  printf("library %s, header %d.%d.%d\n", kor_library_version(), KORFLOWID_VERSION_MAJOR, KORFLOWID_VERSION_MINOR,
         KORFLOWID_VERSION_PATCH);
  if (show(NULL, printed) != 0) return 1;
  status = kor_root(NULL, home, sizeof home, &length);
  if (status != KOR_OK) return failed("root", status);
  printf("root %s (%lu bytes)\n", home, (unsigned long)length);
  if (length < 4 || length >= sizeof home) return failed("root", KOR_TOO_LARGE);
  home[length - 4] = '\0'; /* KOR_HOME again, without the "/../" the root adds */
  if (show(home, printed) != 0) return 1;
  printf("the same for the home given\n");
  return 0;
}
