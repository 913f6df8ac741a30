// Whole-or-nothing report files: see output_file.h.

#include "report/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "quillmere/connection.h"

namespace quillmere {
namespace {

// A name beside `path` that no file has: created exclusively, so two
// reports written at once never share one, with the mode a new file gets
// (0666 less the umask) rather than mkstemp's 0600.
std::string CreateTemporary(const std::string& path) {
  for (int attempt = 0;; ++attempt) {
    const std::string name = path + ".part-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      return name;
    }
    if (errno != EEXIST || attempt == 100) throw Error("cannot write " + path + ": " + std::strerror(errno));
  }
}

}  // namespace

void WriteWholeFile(const std::string& path, const std::function<void(const std::string& temporary)>& write) {
  const std::string temporary = CreateTemporary(path);
  try {
    write(temporary);
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
      throw Error("cannot write " + path + ": " + std::strerror(errno));
    }
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
}

}  // namespace quillmere
