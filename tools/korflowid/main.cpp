// korflowid: shows what the KORFlowID library finds for an installation.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Console.h"
#include "Hints.h"
#include "Installation.h"
#include "Output.h"

#ifndef KORFLOWID_VERSION
#define KORFLOWID_VERSION "unknown"
#endif

namespace {

using namespace korflowid::tool;

enum ExitStatus { kFound = 0, kBadUsage = 1, kHomeMissing = 2, kRootNotReducible = 3 };

enum class Mode { Summary, Report, Field, Json, Help, Version };

struct Options {
  Mode mode = Mode::Summary;
  std::optional<std::string> home;
  std::string field;
};

void printHelp() {
  std::printf(
      "Usage: korflowid [--home DIR] [--report | --field NAME | --json]\n"
      "Shows what the KORFlowID library finds for the installation that KOR_HOME names.\n"
      "\n"
      "  --home DIR     set KOR_HOME to DIR for this run (default: the environment as it is)\n"
      "  --report       print the installation report as the library delivers it, CR LF kept\n"
      "  --field NAME   print one value alone, or nothing when it is absent; NAME is one of\n"
      "                ");
  std::size_t column = 16;
  const auto printKey = [&](std::string_view key) {
    if (column + key.size() > 80) {
      std::printf("\n                ");
      column = 16;
    }
    column += static_cast<std::size_t>(std::printf(" %.*s", static_cast<int>(key.size()), key.data()));
  };
  for (const ValueKind& kind : kValueKinds) printKey(kind.key);
  printKey(kPatchesKey);
  std::printf(
      "\n"
      "  --json         print everything as one JSON object\n"
      "  --help         show this help\n"
      "  --version      show the version\n"
      "\n"
      "The library's console messages go to standard error, or into \"messages\" with --json.\n"
      "Hints on why a value is unknown or absent follow the summary there, or go into \"hints\" with --json.\n"
      "\n"
      "Exit status:\n"
      "  0  a flow directory name was worked out from KOR_HOME (the directory need not exist)\n"
      "  1  bad usage\n"
      "  2  KOR_HOME is not set\n"
      "  3  KOR_HOME cannot be reduced to a flow directory\n");
}

/// Fills `options` from the command line; an error message when it makes no sense.
std::optional<std::string> parse(int argc, char** argv, Options& options) {
  bool modeGiven = false;
  auto setMode = [&](Mode mode) -> std::optional<std::string> {
    if (modeGiven && options.mode != mode) return "choose one of --report, --field, --json, --help, --version";
    modeGiven = true;
    options.mode = mode;
    return std::nullopt;
  };
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::optional<std::string> inlineValue;
    if (const std::size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string_view::npos) {
      inlineValue.emplace(arg.substr(equals + 1));
      arg = arg.substr(0, equals);
    }
    const bool takesValue = arg == "--home" || arg == "--field";
    if (inlineValue && !takesValue) return std::string(arg) + " takes no value";
    if (takesValue && !inlineValue) {
      if (i + 1 >= argc) return std::string(arg) + " needs a value";
      inlineValue.emplace(argv[++i]);
    }
    std::optional<std::string> error;
    if (arg == "--home") {
      options.home = inlineValue;
    } else if (arg == "--field") {
      if (!isField(*inlineValue)) return "unknown field '" + *inlineValue + "'";
      error = setMode(Mode::Field);
      options.field = *inlineValue;
    } else if (arg == "--report") {
      error = setMode(Mode::Report);
    } else if (arg == "--json") {
      error = setMode(Mode::Json);
    } else if (arg == "--help" || arg == "-h") {
      error = setMode(Mode::Help);
    } else if (arg == "--version") {
      error = setMode(Mode::Version);
    } else {
      return "unknown argument '" + std::string(arg) + "'";
    }
    if (error) return error;
  }
  return std::nullopt;
}

int exitStatusOf(Location location) {
  switch (location) {
    case Location::Found:
      return kFound;
    case Location::HomeMissing:
      return kHomeMissing;
    case Location::RootNotReducible:
      return kRootNotReducible;
  }
  return kBadUsage;
}

int run(int argc, char** argv) {
  Options options;
  if (const std::optional<std::string> error = parse(argc, argv, options)) {
    writeText("korflowid: " + *error + "\nTry 'korflowid --help'.\n", stderr);
    return kBadUsage;
  }
  if (options.mode == Mode::Help) {
    printHelp();
    return kFound;
  }
  if (options.mode == Mode::Version) {
    std::printf("korflowid %s\n", KORFLOWID_VERSION);
    return kFound;
  }
  if (options.home && !setEnvironment("KOR_HOME", *options.home)) {
    std::fprintf(stderr, "korflowid: cannot set KOR_HOME\n");
    return kBadUsage;
  }

  useBinaryStandardOutput();
  Installation installation = readInstallation();
  const int status = exitStatusOf(installation.location);
  // A script that asks for one value or the report wants nothing else, not even on standard error;
  // JSON keeps its hints in a field of their own.
  if (options.mode == Mode::Summary || options.mode == Mode::Json) installation.hints = hintsFor(installation);
  if (options.mode == Mode::Json) {
    printJson(installation, status, stdout);
    return status;
  }
  printMessages(installation, stderr);
  if (options.mode == Mode::Report) {
    writeText(installation.report, stdout);
  } else if (options.mode == Mode::Field) {
    printValue(installation, options.field, stdout);
  } else {
    printSummary(installation, stdout);
    // Whoever reads both streams through one pipe or file gets the hints after the summary.
    std::fflush(stdout);
    printHints(installation, stderr);
  }
  return status;
}

}  // namespace

#if defined(_WIN32)
// The wide command line holds every character of a path; the narrow one only those of the code page.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments = korflowid::tool::utf8Arguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return run(argc, pointers.data());
}
#else
int main(int argc, char** argv) {
  return run(argc, argv);
}
#endif
