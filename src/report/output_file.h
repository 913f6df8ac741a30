// Report files written whole or not at all: the writers fill a temporary
// file beside the destination, which is renamed into place when complete.

#ifndef QUILLMERE_REPORT_OUTPUT_FILE_H_
#define QUILLMERE_REPORT_OUTPUT_FILE_H_

#include <functional>
#include <string>

namespace quillmere {

// Creates a new empty file in the directory of `path`, calls `write` with
// its name, and renames it to `path`, replacing a file there. When `write`
// throws, or the file cannot be created or renamed, the temporary file is
// removed, `path` is left as it was, and Error names `path` and the reason.
void WriteWholeFile(const std::string& path, const std::function<void(const std::string& temporary)>& write);

}  // namespace quillmere

#endif  // QUILLMERE_REPORT_OUTPUT_FILE_H_
