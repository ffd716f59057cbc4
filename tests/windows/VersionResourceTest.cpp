// The version resource of the DLL and the tool, read back through the version API as installers and
// the file properties dialog read it.
#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>
#include <winver.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The string `key` in the first language the resource lists, as a reader of the resource finds it.
std::string stringValue(const std::vector<char>& data, const char* key) {
  void* found = nullptr;
  UINT size = 0;
  if (!::VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &found, &size) || size < 2 * sizeof(WORD)) {
    return "(no translation)";
  }
  const auto* translation = static_cast<const WORD*>(found);  // language, then code page
  char path[128];
  std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], key);
  if (!::VerQueryValueA(data.data(), path, &found, &size) || size == 0) return "(absent)";
  return static_cast<const char*>(found);
}

TEST(VersionResource, DllAndToolCarryTheProjectVersion) {
  const DWORD versionHigh = (KORFLOWID_VERSION_MAJOR << 16) | KORFLOWID_VERSION_MINOR;
  const DWORD versionLow = static_cast<DWORD>(KORFLOWID_VERSION_PATCH) << 16;
  for (const std::string file : {"KORFlowID.dll", "korflowid.exe"}) {
    SCOPED_TRACE(file);
    // The test program is built into the folder that holds the DLL and the tool.
    char self[MAX_PATH] = {};
    std::string path(self, ::GetModuleFileNameA(nullptr, self, MAX_PATH));
    path.replace(path.find_last_of("\\/") + 1, std::string::npos, file);
    DWORD ignored = 0;
    std::vector<char> data(::GetFileVersionInfoSizeA(path.c_str(), &ignored));
    ASSERT_FALSE(data.empty()) << "no version resource in " << path;
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));

    void* found = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(data.data(), "\\", &found, &length) && length >= sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(found);
    EXPECT_EQ(fixed->dwFileVersionMS, versionHigh);
    EXPECT_EQ(fixed->dwFileVersionLS, versionLow);
    EXPECT_EQ(fixed->dwProductVersionMS, versionHigh);
    EXPECT_EQ(fixed->dwProductVersionLS, versionLow);

    EXPECT_EQ(stringValue(data, "FileVersion"), KORFLOWID_VERSION);
    EXPECT_EQ(stringValue(data, "ProductVersion"), KORFLOWID_VERSION);
    EXPECT_EQ(stringValue(data, "OriginalFilename"), file);
    const std::string description = stringValue(data, "FileDescription");
    EXPECT_FALSE(description.empty() || description[0] == '(') << description;
  }
}

}  // namespace
