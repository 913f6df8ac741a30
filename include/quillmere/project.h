// Setting up a project database: the permanent tables the calculation reads
// and writes, their indexes, and the fee-code columns of the fee programme.

#ifndef QUILLMERE_PROJECT_H_
#define QUILLMERE_PROJECT_H_

#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

class Connection;

// Creates every permanent table with every column the calculation names, and
// their indexes, and gives gcxxb its rows "总工日", "工程造价" and "经济指标"
// (value '0'). Fails (Error) when a table already exists. One transaction.
void CreateProjectSchema(Connection& connection);

// Creates the indexes the calculation's joins rely on where they are missing
// (never drops one), so a project database made by another host prices as
// fast as a fresh one. Fails when an indexed table or column is missing.
void EnsureIndexes(Connection& connection);

// True when `code` can name a column: letters, digits and underscores, not
// starting with a digit.
bool IsFeeCode(std::string_view code);

// Throws Error naming `code` unless it is a fee code by IsFeeCode.
void RequireFeeCode(std::string_view code);

// For each fee code C adds the columns C and C_FL to temp_qfsjb and C_FL to
// temp_zhys, skipping those present (names compare case-insensitively, so a
// code GLF uses the column glf of the fee rows). Throws Error naming a code
// that is no plain identifier. One transaction.
void AddFeeCodeColumns(Connection& connection, const std::vector<std::string>& codes);

// The column names of `table` in their order (empty when there is no table).
std::vector<std::string> TableColumns(Connection& connection, std::string_view table);

// The names of the permanent tables, in the order they are created.
std::vector<std::string> ProjectTableNames();

}  // namespace quillmere

#endif  // QUILLMERE_PROJECT_H_
