// Cells a stage computed in memory, written back by one UPDATE that walks the
// table in rowid order: a statement a row would seek every row from the root
// of the table, which costs about as much again as the write itself when
// most rows change. The statement asks the cells through two SQL functions,
// the cells bound as a pointer (sqlite3_bind_pointer, kChangedCellsType):
//
//   update T set c0=quillmere_changed_cell(:cells,rowid,0,c0), ...
//   where quillmere_changed_row(:cells,rowid)
//
// Each takes the rowid, so they answer the same whatever order SQLite calls
// them in; a cell that did not change is given back as the table holds it.

#ifndef QUILLMERE_DB_CHANGED_CELLS_H_
#define QUILLMERE_DB_CHANGED_CELLS_H_

#include <sqlite3.h>

#include <cstdint>

namespace quillmere {

inline constexpr char kChangedCellsType[] = "quillmere_changed_cells";

class ChangedCells {
 public:
  virtual ~ChangedCells() = default;
  // Whether a cell of the row changed.
  virtual bool RowChanged(std::int64_t rowid) = 0;
  // Sets the result to the new value of cell `k` of the row and returns
  // true, or returns false when that cell did not change.
  virtual bool NewValue(std::int64_t rowid, int k, sqlite3_context* context) = 0;
};

}  // namespace quillmere

#endif  // QUILLMERE_DB_CHANGED_CELLS_H_
