// Test projects: see project_fixture.h.

#include "support/project_fixture.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "db/statement.h"
#include "db/value.h"
#include "quillmere/project.h"

namespace quillmere::testing {
namespace {

std::string Render(const Value& value) { return IsNull(value) ? "NULL" : TextOrEmpty(value); }

}  // namespace

Project::Project() : connection_(Connection::OpenInMemory()) {
  CreateProjectSchema(connection_);
  orvane_.CnnData(connection_);
}

Project::Project(const std::string& path) : connection_(Connection::Open(path)) { orvane_.CnnData(connection_); }

Project& Project::Insert(std::string_view table, Fields fields) {
  std::string names;
  std::string marks;
  Params params;
  for (const auto& [name, cell] : fields) {
    if (!names.empty()) {
      names += ",";
      marks += ",";
    }
    names += "\"" + std::string(name) + "\"";
    marks += "?";
    params.Add(cell.value);
  }
  connection_.Execute("insert into \"" + std::string(table) + "\" (" + names + ") values (" + marks + ")", params);
  return *this;
}

Project& Project::Execute(std::string_view sql) {
  connection_.Execute(sql);
  return *this;
}

Project& Project::FeeVariables(std::string_view rows) {
  return Execute("insert into qfblb(fymc,blsz,bllx) select column1,column2,2 from (values " + std::string(rows) + ")");
}

Project& Project::FeeLine(int order, std::string_view code, std::string_view formula) {
  return Insert("qfjjcxb", {{"sjxh", 10 - order},
                            {"fycode", std::string(code)},
                            {"fymc", std::string(code)},
                            {"sjgs", std::string(formula)},
                            {"leixing", 1},
                            {"jsxh", order}});
}

std::string Project::Rows(std::string_view sql) {
  Statement statement(connection_.handle(), sql);
  std::string text;
  while (statement.Step()) {
    for (int i = 0; i < statement.ColumnCount(); ++i) {
      if (i) text += " | ";
      text += Render(statement.ColumnValue(i));
    }
    text += "\n";
  }
  return text;
}

double Project::Number(std::string_view sql) {
  Statement statement(connection_.handle(), sql);
  if (!statement.Step()) return std::numeric_limits<double>::quiet_NaN();
  const Value value = statement.ColumnValue(0);
  return IsNull(value) ? std::numeric_limits<double>::quiet_NaN() : ToNumber(value);
}

std::string Project::Snapshot() {
  std::string text;
  Statement tables(connection_.handle(),
                   "select name from sqlite_schema where type='table' and name not like 'sqlite_%' order by name");
  while (tables.Step()) {
    const std::string table = std::get<std::string>(tables.ColumnValue(0));
    const auto columns = TableColumns(connection_, table);
    text += "## " + table + " (";
    std::string order;
    for (size_t i = 0; i < columns.size(); ++i) {
      text += (i ? "," : "") + columns[i];
      order += (i ? "," : "") + std::to_string(i + 1);
    }
    text += ")\n" + Rows("select * from \"" + table + "\" order by " + order);
  }
  return text;
}

}  // namespace quillmere::testing
