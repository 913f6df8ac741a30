// What the engine keeps of a project from one member call to the next, and
// the proof that the project is still exactly as the engine left it.
//
// A member that finds the proof holding may take what was kept instead of
// reading the tables again; any doubt means reading them. The proof is
// taken when the member that kept something has committed, and holds while
//  - the connection is the same;
//  - the data version of its main database is the same: any commit since,
//    by this connection or another, moves it;
//  - the connection's count of changed rows is the same: any write of its
//    own since, committed or not, moves it;
//  - the mark the member wrote last in its own transaction (in the
//    connection's temp database) is still there: a rollback of a
//    transaction the host held around the member takes it away.
// So a host that writes anything between two calls, or rolls back what the
// member did, finds everything read afresh: the same figures as a cold
// start.

#ifndef QUILLMERE_CALC_MODEL_PROJECT_MEMORY_H_
#define QUILLMERE_CALC_MODEL_PROJECT_MEMORY_H_

#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "calc/model/line_table.h"
#include "calc/model/resource_lines.h"
#include "quillmere/connection.h"

namespace quillmere {

// A line of an analysis table as the table holds it.
struct AnalysisRow {
  std::int64_t ysid = 0;
  Figure dj, xxj, sl, hj, xhj;
  TextId bh = 0, mc = 0, dw = 0, cllb = 0;
  bool ysid_null = false;
};

// The analysis tables of labour, materials and machines (fxrgb, fxclb,
// fxjxb), every line in the order of the rowids, and the texts of the lines.
struct AnalysisTables {
  TextPool pool;
  std::map<std::string, std::vector<AnalysisRow>, std::less<>> rows;
};

// Tables of resource lines as the base prices left them, with the columns
// the current prices read as well; the lines hold their texts in `pool`.
struct PricedLines {
  TextPool pool;
  std::map<std::string, LineTable> tables;
};

// Lines of gjrg, gjcl, gjjx and gjjxfb as the current prices left them, in
// rowid order, as the aggregation's selects read them (their texts in
// `pool`): the sub-items' own labour and material lines (no percentage
// lines, no split materials), their machines (all of them, at their own
// current price) and the machines' consumption items. With them the rowids
// of the material lines, split and percentage lines too, whose class is
// neither main material nor empty.
struct HandedLines {
  TextPool pool;
  std::vector<ResourceLine> labour, materials;
  std::vector<ResourceLine> machines;
  std::vector<Figure> machine_prices;  // with their consumption (xxj2)
  std::vector<Id> machine_ids;         // jxid
  std::vector<bool> percentage_machines;
  std::vector<ResourceLine> consumption;
  std::vector<Id> consumption_machine_ids;  // jxid
  std::vector<std::int64_t> other_classes;
};

class ProjectMemory {
 public:
  // Before a member that uses what is kept: forgets it unless the project is
  // exactly as stamped.
  void Check(Connection& connection);
  // The last write of that member, in its transaction.
  void Mark(Connection& connection);
  // Once it committed: what it left is stamped with the project as it now
  // stands.
  void Stamp(Connection& connection);
  void Forget();

  // Set by the whole-project aggregation, kept up by the current amounts.
  std::shared_ptr<AnalysisTables> analysis;
  // Set by the whole-project base prices, taken by the current prices.
  std::shared_ptr<PricedLines> priced_lines;
  // Set by the whole-project current prices, taken by the aggregation.
  std::shared_ptr<HandedLines> handed_lines;
  // Whether every figure of the estimate rows is known to be a number: the
  // organising checked them, and only the engine, which writes numbers,
  // wrote them since. The members after it need not scan them again.
  bool estimate_rows_are_numbers = false;
  // The same for the fee rows: the whole-project base prices built them from
  // the estimate rows, with numbers (and a figure column's default) in every
  // other column.
  bool fee_rows_are_numbers = false;

 private:
  struct Version {
    sqlite3* handle;
    unsigned data_version;
    sqlite3_int64 changes;
    sqlite3_int64 mark;
    bool operator==(const Version&) const = default;
  };
  static std::optional<Version> VersionOf(Connection& connection);

  std::int64_t mark_ = 0;
  std::optional<Version> stamped_;
};

// Whether `table` declares the columns the engine keeps of it with the
// affinity the engine gives them, so that what it writes reads back as it
// was written, and carries no trigger that could write more.
bool KeepsAsWritten(Connection& connection, const std::string& table,
                    const std::vector<std::pair<std::string, char>>& columns);

}  // namespace quillmere

#endif  // QUILLMERE_CALC_MODEL_PROJECT_MEMORY_H_
