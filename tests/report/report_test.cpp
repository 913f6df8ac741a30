// Reports: the upper-case money words and the money text, what bad input
// gets, and names that must stay text on the page. The figures of the
// workbook and the rendered page are checked from outside, by the scripts
// beside this file.

#include "quillmere/report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "quillmere/pipeline.h"
#include "quillmere/samples.h"
#include "report/figure_text.h"
#include "report/money_words.h"
#include "support/project_fixture.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using testing::Project;

TEST(MoneyWords, FollowTheChequeConvention) {
  const std::vector<std::pair<double, std::string>> cases = {
      {0, "零元整"},
      {1000, "壹仟元整"},
      {1127436.69, "壹佰壹拾贰万柒仟肆佰叁拾陆元陆角玖分"},
      {12.5, "壹拾贰元伍角整"},              // jiao without fen
      {3.05, "叁元零伍分"},                  // fen without jiao
      {0.05, "伍分"},                        // less than a yuan
      {1000100.05, "壹佰万零壹佰元零伍分"},  // one 零 for each run inside
      {201000, "贰拾万壹仟元整"},            // zeros closing a group are not written
      {1680.32, "壹仟陆佰捌拾元叁角贰分"},
      {100000005, "壹亿零伍元整"},  // a group of zeros is a run inside
      {123456789012.34, "壹仟贰佰叁拾肆亿伍仟陆佰柒拾捌万玖仟零壹拾贰元叁角肆分"},
      {1000000000000, "壹万亿元整"},  // 亿 closes a 万亿 over a group of zeros
      {1000100000000, "壹万零壹亿元整"},
      {-5.2, "负伍元贰角整"},
      {2.675, "贰元陆角捌分"},  // rounded on the decimal, not on the binary 2.67499...
  };
  std::string wrong;
  for (const auto& [amount, words] : cases) {
    const std::string got = MoneyInWords(amount);
    if (got != words) wrong += std::to_string(amount) + ": " + got + " (want " + words + ")\n";
  }
  EXPECT_EQ(wrong, "");
}

TEST(MoneyText, GroupsThousandsAndRoundsOnTheDecimal) {
  EXPECT_EQ(MoneyText(1127436.69) + " " + MoneyText(-1234.5) + " " + MoneyText(2.675) + " " + MoneyText(999.995),
            "1,127,436.69 -1,234.50 2.68 1,000.00");
}

// The demo project, priced; `change` edits it before the report is built.
class Report : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteDemoProject(project.db());
    ASSERT_TRUE(RunPipeline(project.orvane(), {}).ok());
    dir = fs::temp_directory_path() / ("quillmere_report_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Build(ReportModel& model, const ReportOptions& options = {}) {
    return project.Unchanged([&] { return BuildReport(project.db(), options, model); });
  }

  Project project;
  fs::path dir;
};

TEST_F(Report, BadInputIsNamedAndLeavesTheDatabaseAsItWas) {
  ReportModel model;
  project.Execute("update gcxxb set shuzhi='0' where mingc='工程造价'");
  EXPECT_EQ(Build(model), "the project has not been priced: gcxxb holds no project cost (工程造价); price it first");
  EXPECT_TRUE(model.forms.empty());

  project.Execute("update gcxxb set shuzhi='1127436.69' where mingc='工程造价'");
  project.Execute("alter table zhys drop column zgjhj");
  EXPECT_EQ(Build(model), "reading the 分部分项工程和单价措施项目清单与计价表: no such column: zgjhj");

  project.Execute("drop table qdclb");
  EXPECT_EQ(Build(model), "the project database has no table qdclb, which the 综合单价分析表 needs");
}

TEST_F(Report, AFailedWriteLeavesNoFile) {
  ReportModel model;
  ASSERT_EQ(Build(model), "");
  // A directory where the file should go: the file is complete but cannot
  // be renamed into place.
  const fs::path target = dir / "taken";
  fs::create_directory(target);
  EXPECT_EQ(WriteWebPage(model, target.string()), "cannot write " + target.string() + ": Is a directory");
  EXPECT_EQ(WriteWorkbook(model, target.string()), "cannot write " + target.string() + ": Is a directory");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(Report, NamesWithMarkupStayText) {
  project.Execute("update zhys set zhmc='<b>\"土方\" & ''x''</b>' where ysid=121");
  ReportModel model;
  ASSERT_EQ(Build(model, {.title = "<i>滨河路</i>"}), "");
  const fs::path path = dir / "report.html";
  ASSERT_EQ(WriteWebPage(model, path.string()), "");
  std::ifstream in(path);
  const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  // In the bill, the analysis and the chart of the largest bill items.
  const std::string escaped = "&lt;b&gt;&quot;土方&quot; &amp; &#39;x&#39;&lt;/b&gt;";
  size_t count = 0;
  for (size_t at = page.find(escaped); at != std::string::npos; at = page.find(escaped, at + 1)) ++count;
  EXPECT_EQ(count, 3u);
  EXPECT_NE(page.find("<h1>&lt;i&gt;滨河路&lt;/i&gt;</h1>"), std::string::npos);
}

}  // namespace
}  // namespace quillmere
