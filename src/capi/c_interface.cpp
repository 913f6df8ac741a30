// The C interface (quillmere/quillmere.h): handles, result codes and error
// messages around ClsOrvane, MemberCall and RunPipeline. Every entry point
// checks its arguments, and no exception ever leaves one.

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "component/host_json.h"
#include "db/recordset.h"
#include "db/value.h"
#include "quillmere/cls_orvane.h"
#include "quillmere/connection.h"
#include "quillmere/member_call.h"
#include "quillmere/pipeline.h"
#include "quillmere/project.h"
#include "quillmere/quillmere.h"
#include "quillmere/version.h"

struct qm_engine {
  std::unique_ptr<quillmere::Connection> connection;  // null when the open failed
  quillmere::ClsOrvane orvane;
  std::string error;
  qm_message_fn message_fn = nullptr;
  void* message_user = nullptr;
  // The message boxes of the running call, shown to message_fn as raised.
  std::vector<quillmere::Message> raised;
  // Set while a call runs: a callback calling into its own engine is refused,
  // and a close requested from one waits until the call has returned.
  bool busy = false;
  bool close_pending = false;
};

namespace quillmere {
namespace {

// The reason of the last call on this thread that had no handle to keep it.
thread_local std::string no_handle_error;

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2, code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, code = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// A string argument must be there and be UTF-8; its name goes into the
// message.
std::string_view RequireText(const char* text, const char* name) {
  if (text == nullptr) throw MisuseError(std::string(name) + " is null");
  const std::string_view view(text);
  if (!IsUtf8(view)) throw MisuseError(std::string(name) + " is not valid UTF-8");
  return view;
}

// A string handed to the host, who frees it with qm_free.
char* HandOut(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) throw std::bad_alloc();
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

// Runs one call on `engine`: refuses a null handle, a handle without a
// database and a call from inside one of the handle's own callbacks; turns a
// MisuseError into QM_MISUSE and any other exception into QM_ERROR, with the
// message on the handle. `body` returns the result code and sets
// engine->error itself for QM_FAILED and QM_CANCELLED.
template <typename Body>
int Guarded(qm_engine* engine, Body&& body) {
  if (engine == nullptr) {
    no_handle_error = "the engine handle is null";
    return QM_MISUSE;
  }
  if (engine->busy) {
    // The running call sets the handle's message again when it returns.
    engine->error = "the engine is busy: a callback may not call into its own engine";
    return QM_MISUSE;
  }
  if (!engine->connection) {
    engine->error = "the engine has no project database: its open failed";
    return QM_MISUSE;
  }
  engine->busy = true;
  engine->error.clear();
  engine->raised.clear();
  int code = QM_ERROR;
  try {
    code = body();
  } catch (const MisuseError& e) {
    engine->error = e.what();
    code = QM_MISUSE;
  } catch (const std::bad_alloc&) {
    engine->error = "out of memory";
    code = QM_ERROR;
  } catch (const std::exception& e) {
    engine->error = e.what();
    code = QM_ERROR;
  } catch (...) {
    engine->error = "an unknown error";
    code = QM_ERROR;
  }
  engine->busy = false;
  if (engine->close_pending) {
    delete engine;
  } else if (code == QM_OK) {
    engine->error.clear();
  }
  return code;
}

// Opens `path` as a project database: the file must be one, or (create)
// become one. A file this call created is removed again when it fails.
std::unique_ptr<Connection> OpenProjectDatabase(const std::string& path, int flags) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  if (fs::is_directory(path, ignored)) throw Error(path + " is a directory, not a project database");
  const bool create = (flags & QM_OPEN_CREATE) != 0;
  const bool existed = fs::exists(path, ignored);
  const OpenMode mode = (flags & QM_OPEN_READONLY) != 0 ? OpenMode::kReadOnly
                        : create                        ? OpenMode::kCreate
                                                        : OpenMode::kExisting;
  auto connection = std::make_unique<Connection>(Connection::Open(path, mode));
  try {
    Recordset tables;
    tables.Open(*connection, "select count(*) as n from sqlite_schema where type='table'");
    if (create && ToNumber(tables.Field("n")) == 0) CreateProjectSchema(*connection);
    std::vector<std::string> missing;
    for (const std::string& table : ProjectTableNames()) {
      if (TableColumns(*connection, table).empty()) missing.push_back(table);
    }
    if (!missing.empty()) {
      std::string names = missing.front();
      for (std::size_t i = 1; i < missing.size() && i < 3; ++i) names += ", " + missing[i];
      if (missing.size() > 3) names += " and " + std::to_string(missing.size() - 3) + " more";
      throw Error(path + " is not a project database: it has no table " + names);
    }
  } catch (...) {
    connection.reset();
    if (create && !existed) fs::remove(path, ignored);
    throw;
  }
  return connection;
}

// The options of `quillmere calc` as a JSON object.
PipelineOptions ReadPipelineOptions(std::string_view text) {
  const Json parsed = ParseHostJson(text, "the options");
  if (!parsed.is_object()) throw MisuseError("the options must be a JSON object, such as {\"bill_pricing\": true}");
  PipelineOptions options;
  const auto flag = [](const Json& value, const std::string& key, bool& into) {
    if (!value.is_boolean()) throw MisuseError("the option " + key + " takes true|false");
    into = value.get<bool>();
  };
  for (const auto& [key, value] : parsed.items()) {
    if (key == "bill_pricing") {
      flag(value, key, options.bill_pricing);
    } else if (key == "fee_programme") {
      flag(value, key, options.fee_programme);
    } else if (key == "clear_current") {
      flag(value, key, options.clear_current);
    } else if (key == "install_diff") {
      flag(value, key, options.install_difference);
    } else if (key == "method") {
      if (!value.is_string()) throw MisuseError("the option method takes a text");
      options.method = value.get<std::string>();
    } else if (key == "floor_area") {
      if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < 0) {
        throw MisuseError("the option floor_area takes a number of at least 0");
      }
      options.floor_area = value.get<double>();
    } else {
      throw MisuseError("no pipeline option " + key +
                        "; the options are bill_pricing, fee_programme, method, floor_area, clear_current, "
                        "install_diff");
    }
  }
  return options;
}

}  // namespace
}  // namespace quillmere

using namespace quillmere;

extern "C" {

int qm_open(const char* path, qm_engine** out) { return qm_open_v2(path, 0, out); }

int qm_open_v2(const char* path, int flags, qm_engine** out) {
  if (out == nullptr) {
    no_handle_error = "out, where the handle goes, is null";
    return QM_MISUSE;
  }
  *out = nullptr;
  qm_engine* engine = new (std::nothrow) qm_engine;
  if (engine == nullptr) {
    no_handle_error = "out of memory";
    return QM_ERROR;
  }
  *out = engine;
  try {
    const std::string file(RequireText(path, "path"));
    if ((flags & ~(QM_OPEN_READONLY | QM_OPEN_CREATE)) != 0) {
      throw MisuseError("unknown open flags " + std::to_string(flags));
    }
    if ((flags & QM_OPEN_READONLY) != 0 && (flags & QM_OPEN_CREATE) != 0) {
      throw MisuseError("a project database cannot be created read-only");
    }
    engine->connection = OpenProjectDatabase(file, flags);
    engine->orvane.CnnData(*engine->connection);
    engine->orvane.SetMessageHandler([engine](const std::string& prompt, int style, const std::string& title) {
      engine->raised.push_back(Message{prompt, style, title});
      if (engine->message_fn != nullptr) engine->message_fn(engine->message_user, prompt.c_str(), style, title.c_str());
    });
    return QM_OK;
  } catch (const MisuseError& e) {
    engine->error = e.what();
    return QM_MISUSE;
  } catch (const std::bad_alloc&) {
    engine->error = "out of memory";
  } catch (const std::exception& e) {
    engine->error = e.what();
  } catch (...) {
    engine->error = "an unknown error";
  }
  engine->connection.reset();
  return QM_ERROR;
}

int qm_busy_timeout(qm_engine* engine, int milliseconds) {
  return Guarded(engine, [&] {
    if (milliseconds < 0) throw MisuseError("the busy timeout is a number of milliseconds of at least 0");
    engine->connection->SetBusyTimeout(milliseconds);
    return QM_OK;
  });
}

int qm_quick_check(qm_engine* engine) {
  return Guarded(engine, [&] {
    engine->error = engine->connection->QuickCheck();
    return engine->error.empty() ? QM_OK : QM_FAILED;
  });
}

void qm_close(qm_engine* engine) {
  if (engine == nullptr) return;
  if (engine->busy) {
    engine->close_pending = true;
    return;
  }
  delete engine;
}

const char* qm_errmsg(const qm_engine* engine) {
  return engine == nullptr ? no_handle_error.c_str() : engine->error.c_str();
}

int qm_call(qm_engine* engine, const char* member, const char* args_json, char** result_json) {
  if (result_json != nullptr) *result_json = nullptr;
  return Guarded(engine, [&] {
    const MemberCall call = MemberCall::FromJson(RequireText(member, "member"), RequireText(args_json, "args_json"));
    const MemberCallOutcome outcome = call.Run(engine->orvane);
    if (result_json != nullptr) *result_json = HandOut(outcome.json);
    if (!outcome.failed()) return QM_OK;
    engine->error = outcome.failure;
    return QM_FAILED;
  });
}

int qm_run_pipeline(qm_engine* engine, const char* options_json, qm_progress_fn progress, void* user,
                    char** result_json) {
  if (result_json != nullptr) *result_json = nullptr;
  return Guarded(engine, [&] {
    PipelineOptions options = ReadPipelineOptions(RequireText(options_json, "options_json"));
    std::atomic<bool> cancel{false};
    options.cancel = &cancel;
    const auto start = std::chrono::steady_clock::now();
    ProgressCallback report;
    if (progress != nullptr) {
      report = [&](const StageProgress& stage) {
        if (stage.finished) return;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (progress(user, stage.name.c_str(), stage.index, stage.count, seconds) != 0) cancel = true;
      };
    }
    PipelineResult result = RunPipeline(engine->orvane, options, report);
    const ProjectSummary summary = ReadRunSummary(*engine->connection, result);
    const std::string json = PipelineReportJson(result, summary, engine->raised);
    if (result_json != nullptr) *result_json = HandOut(json);
    if (result.ok()) return QM_OK;
    if (result.cancelled) {
      engine->error = "cancelled before " + result.failed_stage;
      return QM_CANCELLED;
    }
    engine->error = result.failed_stage + " failed: " + result.error;
    return QM_FAILED;
  });
}

void qm_set_message_handler(qm_engine* engine, qm_message_fn handler, void* user) {
  if (engine == nullptr) {
    no_handle_error = "the engine handle is null";
    return;
  }
  engine->message_fn = handler;
  engine->message_user = user;
}

void qm_free(void* p) { std::free(p); }

const char* qm_version(void) { return QUILLMERE_VERSION; }

int qm_abi_version(void) { return QM_ABI_VERSION; }

}  // extern "C"
