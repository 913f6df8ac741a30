// The quillmere program run as a user runs it, for tests: its exit status and
// what it printed.

#ifndef QUILLMERE_TESTS_SUPPORT_COMMAND_LINE_H_
#define QUILLMERE_TESTS_SUPPORT_COMMAND_LINE_H_

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace quillmere::testing {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder of its own for the files a test makes, emptied when made and
// removed with all it holds when it goes out of scope, whether the test
// passed or stopped at a failed assertion.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : path_(std::filesystem::temp_directory_path() / ("quillmere_" + name + "_" + std::to_string(getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Runs quillmere (QUILLMERE_CLI) with `arguments`, already quoted for the shell.
inline Outcome Quillmere(const std::string& arguments) {
  namespace fs = std::filesystem;
  Outcome run;
  static int runs = 0;
  const std::string err =
      (fs::temp_directory_path() / ("quillmere_" + std::to_string(getpid()) + "_" + std::to_string(++runs) + ".err"))
          .string();
  FILE* pipe = popen((std::string(QUILLMERE_CLI) + " " + arguments + " 2>" + err).c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (size_t n = 0; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = FileText(err);
  fs::remove(err);
  return run;
}

}  // namespace quillmere::testing

#endif  // QUILLMERE_TESTS_SUPPORT_COMMAND_LINE_H_
