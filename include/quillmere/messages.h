// Message boxes, handed to the host: the few places where the calculation must
// warn the user (a failed single-row stage, a failed bill item, two data
// checks of the project totals) call the host's handler and go on after it
// returns.

#ifndef QUILLMERE_MESSAGES_H_
#define QUILLMERE_MESSAGES_H_

#include <functional>
#include <string>

namespace quillmere {

// Styles of a message box: one OK button with this icon.
inline constexpr int kInformationStyle = 64;
inline constexpr int kExclamationStyle = 48;
// The title of every message box.
inline constexpr const char* kMessageTitle = "提示";

struct Message {
  std::string prompt;
  int style = kInformationStyle;
  std::string title = kMessageTitle;
};

// Receives each message when it is raised; the call goes on when it returns.
using MessageHandler = std::function<void(const std::string& prompt, int style, const std::string& title)>;

}  // namespace quillmere

#endif  // QUILLMERE_MESSAGES_H_
