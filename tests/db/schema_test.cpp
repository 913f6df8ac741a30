// The project database: every table and column the calculation names, with
// number columns REAL, ids and yes/no columns INTEGER, texts TEXT; the
// fee-code columns; the indexes.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "quillmere/project.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

using testing::Project;

// Every table the calculation reads or writes with every column it names.
const std::map<std::string, std::string> kExpectedColumns = {
    {"zhys",
     "ysid sjxh qdlb fbcch bhlb bzj zhmc qdxh dw cgdw yssl cysl zhxs sjgcl ysid_gcl glxs jsjs glffl lrfl "
     "fxfl zdycsfl gzlx cslb dejj sjdj sjbj rgdj cldj jxdj zcfdj zcfhj zgjdj zgjhj"},
    {"qddyb", "ysid fb1 fb2 fb3 fb4 fb5 sjgcl sjgcl_qd"},
    {"fbdyb", "ysid fb1 fb2 fb3 fb4"},
    {"mbgjb", "ysid ysid_gl gcl xs"},
    {"linshib", "ysid shuzhi1 shuzhi2"},
    {"gjrg", "ysid bh mc dw dj sl hj xxj xhj azfy ysid_gl"},
    {"gjcl",
     "ysid bh mc dw dj sl hj xxj xhj clid cllb chaifen chaifenstyle rgdj rghj cldj clhj jxdj jxhj tzbz azfy "
     "ysid_gl"},
    {"gjjx", "ysid bh mc dw dj sl hj xxj xhj jxid jxcc xxj2 xhj2 azfy ysid_gl"},
    {"gjjxfb", "ysid bh mc dw dj sl hj xxj xhj jxid jchj"},
    {"gjpbf", "ysid bh mc dw dj sl hj xxj xhj clid"},
    {"gjlpjb", "ysid bh mc dw dj sl hj xxj xhj clid"},
    {"ftrg", "ysid bh mc dw dj sl hj xxj xhj clid_src"},
    {"ftcl", "ysid bh mc dw dj sl hj xxj xhj clid_src clid chaifen chaifenstyle"},
    {"ftjx", "ysid bh mc dw dj sl hj xxj xhj clid_src jxid jxcc xxj2 xhj2"},
    {"ftpbf", "ysid bh mc dw dj sl hj xxj xhj clid clid_src"},
    {"ftjxfb", "ysid bh mc dw dj sl hj xxj xhj jxid clid_src jchj"},
    {"clzxj", "bh mc dw dj xxdj"},
    {"jxzxj", "bh mc dw dj xxdj"},
    {"zgjclb", "bh mc ggxh dw dj iszb sl hj"},
    {"clxzb", "bh mc dw dj xz"},
    {"qfjjcxb", "sjxh fycode fymc sjgs jsjs fl leixing jsxh jsjsje jsjg"},
    {"qfblb", "fymc blsz bllx"},
    {"qfsjb",
     "sjxh ysid qdlb fbcch jsjs sjgcl sjgcl_qd dergdj zrg rgjj fcjj zcjj jxjj rgjc fcjc zcjc jxjc rgf fcf "
     "zcf jxf clf glffl lrfl fxfl glf lr fxf zhdj zhbj zcf_qd fcf_qd zgj_qd zgjhj_qd jg_qd jghj_qd"},
    {"temp_zhys", "ysid"},
    {"gcxxb", "mingc shuzhi"},
    {"fxrgb", "ysid bh mc dw dj sl hj xxj xhj"},
    {"fxclb", "ysid bh mc dw dj sl hj xxj xhj cllb"},
    {"fxjxb", "ysid bh mc dw dj sl hj xxj xhj"},
    {"fxjxfb", "ysid bh mc dw dj sl hj xxj xhj jchj"},
    {"fxrgb1", "ysid bh mc dw dj sl xxj"},
    {"fxclb1", "ysid bh mc dw dj sl xxj cllb"},
    {"fxjxb1", "ysid bh mc dw dj sl xxj"},
    {"fxjxfb1", "ysid bh mc dw dj sl xxj"},
    {"gcrgb", "bh mc dw dj sl hj xxj xhj"},
    {"gcclb", "bh mc dw dj sl hj xxj xhj cllb xz zgj jg"},
    {"gcjxb", "bh mc dw dj sl hj xxj xhj"},
    {"gcjxfb", "bh mc dw dj sl hj xxj xhj"},
    {"jxtcb", "bh mc dw dj xxj sl hj xhj"},
    {"qdclb", "ysid bh mc dw dj sl hj xxj xhj cllb xz"},
    {"zljeb", "id sjxh mc dw jsgs fl je bz"},
    {"zcbfwfb", "id sjxh mc jsgs jz fwnr fl je"},
    {"qtxm", "jsxh sjxh xmmc jsgs hj"},
};

// Columns that are ids, yes/no values or texts; every other column is a number.
const std::set<std::string> kIntegerColumns = {"ysid", "ysid_gcl", "ysid_gl", "fb1",      "fb2", "fb3",     "fb4",
                                               "fb5",  "clid",     "jxid",    "clid_src", "bzj", "chaifen", "iszb",
                                               "xz",   "zgj",      "jg",      "azfy",     "id"};
const std::set<std::string> kTextColumns = {"bhlb",  "zhmc",   "qdxh", "dw",   "cgdw", "jsjs",   "gzlx", "cslb",
                                            "bh",    "mc",     "cllb", "tzbz", "ggxh", "fycode", "fymc", "sjgs",
                                            "mingc", "shuzhi", "jsgs", "bz",   "fwnr", "xmmc"};

TEST(ProjectSchema, HoldsEveryTableAndColumnWithItsType) {
  Project p;
  for (const auto& [table, columns] : kExpectedColumns) {
    std::istringstream words(columns);
    for (std::string column; words >> column;) {
      const std::string type =
          p.Rows("select type from pragma_table_info('" + table + "') where name='" + column + "'");
      std::string expected = kTextColumns.count(column) ? "TEXT\n" : "REAL\n";
      // cllb is a class text in the resource tables but a number code in qdclb.
      if (table == "qdclb" && column == "cllb") expected = "REAL\n";
      if (kIntegerColumns.count(column)) expected = "INTEGER\n";
      EXPECT_EQ(type, expected) << table << "." << column;
    }
  }
}

TEST(ProjectSchema, FeeRowCopiesStartWithTheFeeRowColumnsInOrder) {
  Project p;
  AddFeeCodeColumns(p.db(), {"GLF", "LR", "ZHDJ"});
  std::vector<std::string> fee_row = TableColumns(p.db(), "qfsjb");
  std::vector<std::string> copy = TableColumns(p.db(), "temp_qfsjb");
  ASSERT_GT(copy.size(), fee_row.size());
  EXPECT_EQ(std::vector<std::string>(copy.begin(), copy.begin() + static_cast<long>(fee_row.size())), fee_row);
  // GLF, LR and ZHDJ are the fee-row columns glf, lr and zhdj already: only the rates are added.
  EXPECT_EQ(std::vector<std::string>(copy.begin() + static_cast<long>(fee_row.size()), copy.end()),
            (std::vector<std::string>{"GLF_FL", "LR_FL", "ZHDJ_FL"}));
  EXPECT_EQ(TableColumns(p.db(), "temp_zhys"), (std::vector<std::string>{"ysid", "GLF_FL", "LR_FL", "ZHDJ_FL"}));
  AddFeeCodeColumns(p.db(), {"GLF", "AQWM"});  // present ones are skipped
  EXPECT_EQ(TableColumns(p.db(), "temp_zhys"),
            (std::vector<std::string>{"ysid", "GLF_FL", "LR_FL", "ZHDJ_FL", "AQWM_FL"}));
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

TEST(ProjectSchema, StartsWithTheRowsTheMembersUpdateAndEmptyGrades) {
  Project p;
  EXPECT_EQ(p.Rows("select mingc,shuzhi from gcxxb order by rowid"), "总工日 | 0\n工程造价 | 0\n经济指标 | 0\n");
  // A provisional-price entry left without ggxh has an empty one.
  p.Insert("zgjclb", {{"bh", "C1"}, {"mc", "砂"}});
  EXPECT_EQ(p.Rows("select ggxh='' from zgjclb"), "1\n");
}

TEST(ProjectSchema, IndexesAreRecreatedWhenMissingAndNeverDuplicated) {
  Project p;
  const double count = p.Number("select count(*) from sqlite_schema where type='index'");
  EXPECT_GT(count, 30);
  p.Execute("drop index idx_qddyb_fb5");
  EnsureIndexes(p.db());
  EnsureIndexes(p.db());
  EXPECT_EQ(p.Number("select count(*) from sqlite_schema where type='index'"), count);
}

TEST(ProjectSchema, CreatingTwiceFailsAndChangesNothing) {
  Project p;
  p.Unchanged([&] { EXPECT_THROW(CreateProjectSchema(p.db()), Error); });
}

}  // namespace
}  // namespace quillmere
