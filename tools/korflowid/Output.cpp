// Formatting only; every value was gathered beforehand, so nothing here calls the library.
#include "Output.h"

#include <nlohmann/json.hpp>
#include <string>

#include "Console.h"

namespace korflowid::tool {
namespace {

void write(std::string_view text, std::FILE* out) {
  writeText(text, out);
}

const char* locationName(Location location) {
  switch (location) {
    case Location::Found:
      return "found";
    case Location::HomeMissing:
      return "home missing";
    case Location::RootNotReducible:
      return "root not reducible";
  }
  return "?";
}

}  // namespace

void printSummary(const Installation& installation, std::FILE* out) {
  constexpr int kTitleWidth = 23;
  for (std::size_t i = 0; i < kValueKinds.size(); ++i) {
    const ValueKind& kind = kValueKinds[i];
    std::fprintf(out, "%-*.*s", kTitleWidth, static_cast<int>(kind.title.size()), kind.title.data());
    const std::optional<std::string>& value = installation.values[i];
    write(value ? *value : "(absent)", out);
    if (kind.key == "flow") std::fprintf(out, " (%d)", installation.flowValue);
    if (kind.key == "release") std::fprintf(out, " (%d)", installation.releaseValue);
    write("\n", out);
  }
  std::fprintf(out, "%-*s", kTitleWidth, "Patches");
  if (installation.patches.empty()) write("(none)", out);
  for (std::size_t i = 0; i < installation.patches.size(); ++i) {
    write(i == 0 ? "#" : ", #", out);
    write(installation.patches[i], out);
  }
  write("\n", out);
}

void printValue(const Installation& installation, std::string_view key, std::FILE* out) {
  if (key == kPatchesKey) {
    for (const std::string& patch : installation.patches) {
      write(patch, out);
      write("\n", out);
    }
    return;
  }
  if (const std::optional<std::string>& value = installation.value(key)) {
    write(*value, out);
    write("\n", out);
  }
}

void printJson(const Installation& installation, int exitStatus, std::FILE* out) {
  nlohmann::ordered_json object;
  object["status"] = locationName(installation.location);
  object["exit-status"] = exitStatus;
  for (std::size_t i = 0; i < kValueKinds.size(); ++i) {
    const std::string key(kValueKinds[i].key);
    const std::optional<std::string>& value = installation.values[i];
    object[key] = value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
    if (key == "flow") object["flow-value"] = installation.flowValue;
    if (key == "release") object["release-value"] = installation.releaseValue;
  }
  object[std::string(kPatchesKey)] = installation.patches;
  object["report"] = installation.report;
  object["messages"] = installation.messages;
  object["hints"] = installation.hints;
  write(object.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace), out);
  write("\n", out);
}

void printMessages(const Installation& installation, std::FILE* err) {
  for (const std::string& message : installation.messages) {
    write("korflowid: library message: ", err);
    write(message, err);
    write("\n", err);
  }
}

void printHints(const Installation& installation, std::FILE* err) {
  for (const std::string& hint : installation.hints) {
    write("korflowid: hint: ", err);
    write(hint, err);
    write("\n", err);
  }
}

}  // namespace korflowid::tool
