// A small project database for tests: a fresh in-memory database with every
// permanent table, rows added a line each, and renderings of query results
// and of the whole database that a test compares in one expectation.

#ifndef QUILLMERE_TESTS_SUPPORT_PROJECT_FIXTURE_H_
#define QUILLMERE_TESTS_SUPPORT_PROJECT_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "quillmere/cls_orvane.h"
#include "quillmere/connection.h"

namespace quillmere::testing {

// One field value as a test writes it: 1, 2.5, "主材", nullptr.
struct Cell {
  Cell(int v) : value(std::int64_t{v}) {}
  Cell(std::int64_t v) : value(v) {}
  Cell(double v) : value(v) {}
  Cell(const char* v) : value(std::string(v)) {}
  Cell(std::string v) : value(std::move(v)) {}
  Cell(std::nullptr_t) {}
  Value value;
};

using Fields = std::initializer_list<std::pair<std::string_view, Cell>>;

class Project {
 public:
  Project();
  // The project database in the file at `path`, as it is.
  explicit Project(const std::string& path);

  Connection& db() { return connection_; }
  // A ClsOrvane holding this project's connection.
  ClsOrvane& orvane() { return orvane_; }

  // Inserts one row with the given fields (the others take their defaults).
  Project& Insert(std::string_view table, Fields fields);
  // Runs one statement.
  Project& Execute(std::string_view sql);
  // Fee variables of kind 2, the ones formulas name: "('name',value),...".
  Project& FeeVariables(std::string_view rows);
  // A fee programme line of the unit price (kind 1) in calculation order
  // `order`; its display number runs the other way, so only jsxh orders it.
  Project& FeeLine(int order, std::string_view code, std::string_view formula);

  // Every row of `sql`, one line each, fields joined by " | ": numbers in
  // plain decimal form, texts as they are, null as NULL.
  std::string Rows(std::string_view sql);
  // The first field of the first row as a number (NaN when null or absent).
  double Number(std::string_view sql);
  // Every table with its columns and all its rows in a fixed order: equal
  // snapshots mean an unchanged database.
  std::string Snapshot();
  // The result of `call`, which must leave the database exactly as it was (a
  // member that fails rolls back); a change is a test failure.
  template <typename Call>
  auto Unchanged(Call&& call) {
    const std::string before = Snapshot();
    if constexpr (std::is_void_v<decltype(call())>) {
      call();
      EXPECT_EQ(Snapshot(), before) << "the database changed";
    } else {
      auto result = call();
      EXPECT_EQ(Snapshot(), before) << "the database changed";
      return result;
    }
  }

 private:
  Connection connection_;
  ClsOrvane orvane_;
};

}  // namespace quillmere::testing

#endif  // QUILLMERE_TESTS_SUPPORT_PROJECT_FIXTURE_H_
