// Shared test fixtures: environment settings, temporary installation trees, fresh module processes.
#ifndef KORFLOWID_TESTS_TESTSUPPORT_H
#define KORFLOWID_TESTS_TESTSUPPORT_H

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace korflowid::test {

/// Sets (or, with nullopt, unsets) an environment variable for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, std::optional<std::string> value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

void setEnvironment(const char* name, const std::optional<std::string>& value);

/// A fresh temporary directory, removed with everything in it when the object dies.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  /// The directory, with forward slashes and a trailing "/".
  const std::string& path() const { return path_; }
  /// Writes `bytes` exactly (binary) to `relative`, creating parent directories.
  std::string write(const std::string& relative, std::string_view bytes) const;
  /// Creates a directory (and its parents).
  std::string makeDirectory(const std::string& relative) const;

 private:
  std::string path_;
};

/// Runs `body` in a new process of this test binary, whose module caches start empty, and expects
/// it to pass. Inside that process `body` simply runs. Use it for tests that depend on the caches.
void inFreshModule(const std::function<void()>& body);

/// Fault injection at every point of a path. Runs the current test in a fresh process for n = 1, 2, ...,
/// in which `body` fails the n-th fault point of its path and returns whether it got that far; stops at
/// the first n that it did not reach, and returns that n (0 inside the fresh processes).
std::size_t atEveryFault(const std::function<bool(std::size_t n)>& body);

/// Standard output written while `body` runs (the library's console messages land there).
std::string captureStdout(const std::function<void()>& body);

#if !defined(_WIN32)
/// What a fresh module process (inFreshModule) may be put under, to meet the library as the field does.
enum class Restriction {
  None,
  Unprivileged,  // a user who owns nothing of the tree: uid and gid 65534 where the process is root
  StatxRefused,  // statx answers EPERM, as a container runtime's seccomp profile may have it
};

/// Why `restriction` cannot be had on this machine (qemu-user takes no seccomp filter, a namespace may
/// lack uid 65534), or nothing when it can. Tried in a forked child; this process stays as it is.
std::optional<std::string> whyUnavailable(Restriction restriction);

/// `restriction` over this process while the object lives. Only for fresh module processes: a seccomp
/// filter stays for good. Unprivileged drops the effective ids only, so that the test can still act as
/// the tree's owner (asOwner) and remove it at the end.
class Restricted {
 public:
  explicit Restricted(Restriction restriction);
  ~Restricted();
  Restricted(const Restricted&) = delete;
  Restricted& operator=(const Restricted&) = delete;

  /// Runs `body` with the ids the process had before.
  void asOwner(const std::function<void()>& body);

 private:
  void drop();
  void regain();
  bool dropped_ = false;
  unsigned int ownerGroup_ = 0;
};

/// The permission mode that grants an Unprivileged caller what `othersMode` grants others: a process
/// that is not root stays itself and owns the tree it made, so its owner and group bits are the others'.
unsigned int unprivilegedMode(unsigned int othersMode);
#endif

}  // namespace korflowid::test

#endif  // KORFLOWID_TESTS_TESTSUPPORT_H
