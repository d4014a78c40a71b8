#pragma once
// Small helpers shared by the test executables.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// True in the sanitizer build, where the engine runs several times slower. A test that checks
// arithmetic over an exhaustive range (every colour) takes an even sample of it there: every branch
// and vector lane still runs under the sanitizers, and the normal build checks the whole range.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRIMVALE_TESTS_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(BRIMVALE_TESTS_SANITIZED)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// The message of the E that Body raises; "<no exception>" when it raises none, "<other exception>"
// when it raises something else. A table of failures then reads as expected texts.
template <class E, class Body>
std::string ErrorText(Body&& body) {
  try {
    body();
  } catch (const E& e) {
    return e.Message();
  } catch (...) {
    return "<other exception>";
  }
  return "<no exception>";
}

// Processor time (user and system) this process has used, in seconds. A test bounding how much work
// a call does measures this rather than the wall clock, which a machine busy with other builds
// stretches many times over.
double ProcessCpuSeconds();

// Regular expressions (ECMAScript) for checking texts. The standard library's regular expressions
// cost seconds of compile time in every source that instantiates them, so they are compiled here once.
// True when Pattern matches the whole of Text; Groups, when given, receives the groups (0: the whole).
bool RegexMatch(const std::string& Text, const std::string& Pattern, std::vector<std::string>* Groups = nullptr);
// The groups of every match of Pattern in Text, in order (each with the whole match at 0).
std::vector<std::vector<std::string>> RegexFindAll(const std::string& Text, const std::string& Pattern);

// The full path of the first of the commands found on PATH, or empty.
std::string FindProgram(const std::vector<std::string>& names);
// Runs a shell command; its standard output (and error) in output (may be null); the exit status, -1
// when it could not run or did not exit.
int RunProgram(const std::string& command, std::string* output);

// Folder of the small fixture files kept under tests/data.
std::filesystem::path DataDir();

// A fresh, empty scratch folder for one test, removed when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  // Under Base instead of the system's temporary folder.
  explicit ScratchDir(const std::filesystem::path& Base);
  // In memory (/dev/shm) where the machine has it, else in the temporary folder: tests that save
  // thousands of files stay fast, as syncing a file costs nothing there.
  static ScratchDir InMemory();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// How a child process of RunInChild runs.
struct ChildLimits {
  // As an unprivileged user (uid and gid 65534) when the tests run as root, whom permission bits do not
  // stop; as the same user otherwise. Folders the child must reach need search rights for others.
  bool Unprivileged = false;
  // A file-size limit in bytes (RLIMIT_FSIZE, with SIGXFSZ ignored), standing in for a full disk:
  // a write beyond it fails with EFBIG. Negative: no limit.
  int64_t FileSizeLimit = -1;
};

// Runs Body in a forked child process under Limits and returns the text Body returned. The test fails
// when the child cannot take its limits, raises or dies. Body must not use the test framework's
// assertions (they would not reach this process): it reports what it saw in the text it returns.
std::string RunInChild(const ChildLimits& Limits, const std::function<std::string()>& Body);

}  // namespace testsupport
