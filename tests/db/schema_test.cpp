// The project database: number columns REAL, ids and yes/no columns INTEGER,
// texts TEXT; fee codes that can name columns; the rows the members update.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "quillmere/project.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Columns that are ids, yes/no values or texts; every other column is a
// number and must be REAL, or SQLite would divide whole numbers as integers.
const std::set<std::string> kIntegerColumns = {"ysid", "ysid_gcl", "ysid_gl", "fb1",      "fb2", "fb3",     "fb4",
                                               "fb5",  "clid",     "jxid",    "clid_src", "bzj", "chaifen", "iszb",
                                               "xz",   "zgj",      "jg",      "azfy",     "id"};
const std::set<std::string> kTextColumns = {"bhlb",  "zhmc",   "qdxh", "dw",   "cgdw", "jsjs",   "gzlx", "cslb",
                                            "bh",    "mc",     "cllb", "tzbz", "ggxh", "fycode", "fymc", "sjgs",
                                            "mingc", "shuzhi", "jsgs", "bz",   "fwnr", "xmmc"};

TEST(ProjectSchema, NumberColumnsAreRealIdsIntegerTextsText) {
  Project p;
  for (const std::string& table : ProjectTableNames()) {
    for (const std::string& column : TableColumns(p.db(), table)) {
      std::string expected = kTextColumns.count(column) ? "TEXT\n" : "REAL\n";
      // cllb is a class text in the resource tables but a number code in qdclb.
      if (table == "qdclb" && column == "cllb") expected = "REAL\n";
      if (kIntegerColumns.count(column)) expected = "INTEGER\n";
      EXPECT_EQ(p.Rows("select type from pragma_table_info('" + table + "') where name='" + column + "'"), expected)
          << table << "." << column;
    }
  }
}

TEST(ProjectSchema, FeeCodesMustBePlainIdentifiers) {
  Project p;
  const std::string before = p.Snapshot();
  for (const char* bad : {"", "1GLF", "GL F", "GLF]", "a-b", "费用"}) {
    EXPECT_FALSE(IsFeeCode(bad)) << bad;
    EXPECT_THROW(AddFeeCodeColumns(p.db(), {"OK", bad}), Error) << bad;
  }
  EXPECT_EQ(p.Snapshot(), before);
  EXPECT_TRUE(IsFeeCode("_A1"));
}

TEST(ProjectSchema, IsCreatedOnceWithTheRowsTheMembersUpdateAndEmptyGrades) {
  Project p;
  p.Unchanged([&] { EXPECT_THROW(CreateProjectSchema(p.db()), Error); });
  EXPECT_EQ(p.Rows("select mingc,shuzhi from gcxxb order by rowid"), "总工日 | 0\n工程造价 | 0\n经济指标 | 0\n");
  // A provisional-price entry left without ggxh has an empty one.
  p.Insert("zgjclb", {{"bh", "C1"}, {"mc", "砂"}});
  EXPECT_EQ(p.Rows("select ggxh='' from zgjclb"), "1\n");
}

}  // namespace
}  // namespace quillmere
