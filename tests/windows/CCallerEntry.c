/* The entry point of the C caller built the MSVC way, which has no C runtime's startup code here. */
__declspec(dllimport) void exit(int status);
int main(void);

void mainCRTStartup(void) {
  exit(main());
}
