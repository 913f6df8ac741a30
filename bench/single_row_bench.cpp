// The single-row recalculation and the bill item price as a host calls them
// while the user edits: on a priced project database, the host changes the
// quantity of a sub-item's first material line with its own SQL on the same
// connection, then recalculates that sub-item (JiSuanZHDJ), round after
// round on sub-items spread over the project; then it prices bill items
// (JiSuanQDDJ). Prints the median and the spread of each. The database is
// changed, so give it a copy.
// Usage: single_row_bench PRICED-DB [ROUNDS]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "db/recordset.h"
#include "db/value.h"
#include "quillmere/cls_orvane.h"
#include "quillmere/connection.h"

using namespace quillmere;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Print(const char* label, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-28s median %8.2f ms  min %8.2f  max %8.2f  (%zu calls)\n", label, ms[ms.size() / 2], ms.front(),
              ms.back(), ms.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: single_row_bench PRICED-DB [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 21;
  Connection connection = Connection::Open(argv[1], OpenMode::kExisting);
  ClsOrvane orvane;
  orvane.CnnData(connection);

  Recordset rs;
  rs.Open(connection, "select count(*) as n from qddyb where fb5<>0");
  const auto count = static_cast<std::int64_t>(ToNumber(rs.Field("n")));
  std::vector<double> row_ms, bill_ms;
  for (int i = 0; i < rounds; ++i) {
    rs.Open(connection, "select ysid, fb5 from qddyb where fb5<>0 order by ysid limit 1 offset ?",
            {std::int64_t{count * (2 * i + 1) / (2 * rounds)}});
    const auto row = static_cast<std::int32_t>(ToNumber(rs.Field("ysid")));
    const auto bill_item = static_cast<std::int32_t>(ToNumber(rs.Field("fb5")));
    connection.Execute("update gjcl set sl=sl+0.001 where rowid=(select min(rowid) from gjcl where ysid=?)",
                       {std::int64_t{row}});
    auto start = std::chrono::steady_clock::now();
    if (!orvane.JiSuanZHDJ(row, false)) {
      std::fprintf(stderr, "JiSuanZHDJ(%d) failed\n", row);
      return 1;
    }
    row_ms.push_back(Since(start) * 1e3);

    rs.Open(connection, "select group_concat(ysid) as ids from qddyb where fb5=?", {std::int64_t{bill_item}});
    const std::string ids = TextOrEmpty(rs.Field("ids"));
    double zgj = 0;
    start = std::chrono::steady_clock::now();
    orvane.JiSuanQDDJ(bill_item, ids, false, zgj, false);
    bill_ms.push_back(Since(start) * 1e3);
  }
  for (const auto& m : orvane.Messages()) std::printf("message: %s\n", m.prompt.c_str());
  Print("JiSuanZHDJ one row", row_ms);
  Print("JiSuanQDDJ one bill item", bill_ms);
  return 0;
}
