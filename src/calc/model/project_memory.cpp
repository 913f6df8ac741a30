// What is kept between member calls, and its proof: see project_memory.h.

#include "calc/model/project_memory.h"

#include <atomic>
#include <string>
#include <variant>

#include "base/text.h"
#include "db/statement.h"
#include "db/tables.h"
#include "db/value.h"

namespace quillmere {

namespace {
constexpr const char* kMark = "temp.quillmere_memory_mark";

// Marks are unique in the process, so that a mark found proves the very
// member that wrote it, even on a connection opened where a closed one was.
std::int64_t NextMark() {
  static std::atomic<std::int64_t> last{0};
  return ++last;
}
}  // namespace

std::optional<ProjectMemory::Version> ProjectMemory::VersionOf(Connection& connection) {
  sqlite3* handle = connection.handle();
  if (handle == nullptr) return std::nullopt;
  Version version{handle, 0, 0, 0};
  // Reading the project file first makes the connection notice another
  // connection's commit, which moves the data version (the mark lives in
  // the temp database, whose reading would not). A file it cannot read now,
  // or a mark that is gone, proves nothing.
  try {
    Statement(handle, "pragma main.schema_version").Step();
    Statement mark(handle, std::string("select mark from ") + kMark);
    if (!mark.Step()) return std::nullopt;
    const Value value = mark.ColumnValue(0);
    if (!std::holds_alternative<std::int64_t>(value)) return std::nullopt;
    version.mark = std::get<std::int64_t>(value);
  } catch (...) {
    // Nothing may escape the member that asks: no proof is the answer.
    return std::nullopt;
  }
  if (sqlite3_file_control(handle, "main", SQLITE_FCNTL_DATA_VERSION, &version.data_version) != SQLITE_OK) {
    return std::nullopt;
  }
  version.changes = sqlite3_total_changes64(handle);
  return version;
}

void ProjectMemory::Check(Connection& connection) {
  if (!stamped_ || VersionOf(connection) != stamped_) Forget();
  // Until stamped again, what the member adds vouches for nothing.
  stamped_.reset();
}

void ProjectMemory::Mark(Connection& connection) {
  mark_ = NextMark();
  try {
    connection.Execute(std::string("create table if not exists ") + kMark + "(mark)");
    connection.Execute(std::string("delete from ") + kMark);
    connection.Execute(std::string("insert into ") + kMark + " values (?)", {mark_});
  } catch (const Error&) {
    // A mark that cannot be written (a temp database that cannot be made, a
    // host's object of that name) only means keeping nothing, unless the
    // engine gave up the member's whole transaction with it.
    if (connection.TransactionDepth() > 0 && sqlite3_get_autocommit(connection.handle())) throw;
    mark_ = 0;  // no mark: nothing is stamped
  }
}

void ProjectMemory::Stamp(Connection& connection) {
  stamped_ = VersionOf(connection);
  if (mark_ == 0 || !stamped_ || stamped_->mark != mark_) Forget();
}

void ProjectMemory::Forget() {
  analysis.reset();
  priced_lines.reset();
  handed_lines.reset();
  estimate_rows_are_numbers = false;
  fee_rows_are_numbers = false;
  stamped_.reset();
}

bool KeepsAsWritten(Connection& connection, const std::string& table,
                    const std::vector<std::pair<std::string, char>>& columns) {
  size_t matched = 0;
  Statement info(connection.handle(), "select name,type from pragma_table_info(?)", {table});
  while (info.Step()) {
    const std::string name = TextOrEmpty(info.ColumnValue(0));
    for (const auto& [column, affinity] : columns) {
      if (!EqualsIgnoringCase(name, column)) continue;
      if (ColumnAffinity(TextOrEmpty(info.ColumnValue(1))) != affinity) return false;
      ++matched;
    }
  }
  if (matched != columns.size()) return false;
  Statement triggers(connection.handle(),
                     "select 1 from sqlite_master where type='trigger' and tbl_name=?1 collate nocase union all "
                     "select 1 from sqlite_temp_master where type='trigger' and tbl_name=?1 collate nocase",
                     {table});
  return !triggers.Step();
}

}  // namespace quillmere
