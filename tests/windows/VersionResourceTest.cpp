// The version resource of the DLL and the tool, read back through the version API as installers and
// the file properties dialog read it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>
#include <winver.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The test program is built into the folder that holds the DLL and the tool.
std::string besideThisProgram(const char* name) {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + name;
}

// The string `key` in the first language the resource lists, as a reader of the resource finds it.
std::string stringValue(std::vector<char>& data, const char* key) {
  struct Translation {
    WORD language;
    WORD codePage;
  };
  void* found = nullptr;
  UINT size = 0;
  if (!::VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &found, &size) || size < sizeof(Translation)) {
    return "(no translation)";
  }
  const auto* translation = static_cast<const Translation*>(found);
  char path[128];
  std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage, key);
  if (!::VerQueryValueA(data.data(), path, &found, &size) || size == 0) return "(absent)";
  return static_cast<const char*>(found);
}

TEST(VersionResource, DllAndToolCarryTheProjectVersion) {
  const struct {
    const char* file;
    DWORD type;
  } cases[] = {{"KORFlowID.dll", VFT_DLL}, {"korflowid.exe", VFT_APP}};
  const DWORD versionHigh = (KORFLOWID_VERSION_MAJOR << 16) | KORFLOWID_VERSION_MINOR;
  const DWORD versionLow = static_cast<DWORD>(KORFLOWID_VERSION_PATCH) << 16;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = besideThisProgram(c.file);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << path;
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, data.data()));

    void* found = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(data.data(), "\\", &found, &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(found);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, versionHigh);
    EXPECT_EQ(fixed->dwFileVersionLS, versionLow);
    EXPECT_EQ(fixed->dwProductVersionMS, versionHigh);
    EXPECT_EQ(fixed->dwProductVersionLS, versionLow);
    EXPECT_EQ(fixed->dwFileType, c.type);

    EXPECT_EQ(stringValue(data, "FileVersion"), KORFLOWID_VERSION);
    EXPECT_EQ(stringValue(data, "ProductVersion"), KORFLOWID_VERSION);
    EXPECT_EQ(stringValue(data, "OriginalFilename"), c.file);
    EXPECT_EQ(stringValue(data, "ProductName"), "KORFlowID");
    const std::string description = stringValue(data, "FileDescription");
    EXPECT_FALSE(description.empty() || description[0] == '(') << description;
  }
}

}  // namespace
