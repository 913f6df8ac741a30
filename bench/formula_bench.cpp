// The fee formula engine at the scale of a large project list: 100,000
// typical formulas (a dozen fee variables, three line references each) through
// line-reference and variable substitution and a fresh evaluation.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "formula/formula.h"

namespace quillmere {
namespace {

constexpr int kFormulas = 100000;
constexpr int kLines = 40;

// The project fee variables the summary programme and the item lists name.
std::vector<FeeVariable> FeeVariables() {
  return {{"工程量清单计价", 1834567.25},  {"措施项目计价", 212345.5}, {"施工组织措施", 80412.75},
          {"安全文明施工措施费", 61234.1}, {"暂列金额", 50000},        {"总承包服务费", 12500.5},
          {"其他项目计价", 62500.5},       {"人工费", 412345.66},      {"材料费", 987654.32},
          {"机械费", 123456.78},           {"规费", 45678.9},          {"税金", -1234.5}};
}

// Formulas in the shapes stored lists use: sums of variables and earlier
// lines, percentages, a rate table by IIF now and then. Each "#" of a shape is
// a variable name, "@" a line reference and "$" a rate in percent.
std::vector<std::string> TypicalFormulas() {
  const std::vector<FeeVariable> variables = FeeVariables();
  const char* const shapes[] = {
      "(#+#+@+@)*$+@",
      "@+@-@+#*$+#",
      "IIF(#>1000000,@*$,@*$)+#-@",
      "Round((@+#)*$,2)+@*0.5+@/2+#",
  };
  std::mt19937 random(20240601);
  std::vector<std::string> formulas;
  formulas.reserve(kFormulas);
  for (int i = 0; i < kFormulas; ++i) {
    std::string formula;
    for (const char* p = shapes[i % 4]; *p; ++p) {
      switch (*p) {
        case '#':
          formula += *variables[random() % variables.size()].name;
          break;
        case '@':
          formula += '[';
          formula += std::to_string(1 + random() % (kLines - 1));
          formula += ']';
          break;
        case '$':
          formula += std::to_string(1 + random() % 9);
          formula += '.';
          formula += std::to_string(random() % 100);
          formula += '%';
          break;
        default:
          formula += *p;
      }
    }
    formulas.push_back(std::move(formula));
  }
  return formulas;
}

std::vector<double> LineResults() {
  std::vector<double> results(kLines + 1);
  for (int n = 1; n <= kLines; ++n) results[static_cast<size_t>(n)] = 1000.25 * n - (n % 7 == 0 ? 9000 : 0);
  return results;
}

// What the other-items list and the summary programme do for each row.
void BM_SubstituteAndEvaluate(benchmark::State& state) {
  const std::vector<std::string> formulas = TypicalFormulas();
  const std::vector<FeeVariable> variables = FeeVariables();
  const std::vector<double> results = LineResults();
  // The formulas are meant to evaluate: a failure would make the timing
  // measure the error path.
  int failures = 0;
  for (const std::string& formula : formulas) {
    std::string reason;
    EvaluateExpression(ReplacePercentSigns(TiHuanBL(ReplaceLineReferences(formula, results), variables)), &reason);
    if (!reason.empty()) ++failures;
  }
  state.counters["failures"] = failures;
  for (auto _ : state) {
    double total = 0;
    for (const std::string& formula : formulas) {
      total += JiSuanGS(TiHuanBL(ReplaceLineReferences(formula, results), variables));
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kFormulas);
}
BENCHMARK(BM_SubstituteAndEvaluate)->Unit(benchmark::kMillisecond);

// The substitutions alone.
void BM_Substitute(benchmark::State& state) {
  const std::vector<std::string> formulas = TypicalFormulas();
  const std::vector<FeeVariable> variables = FeeVariables();
  const std::vector<double> results = LineResults();
  for (auto _ : state) {
    size_t length = 0;
    for (const std::string& formula : formulas)
      length += TiHuanBL(ReplaceLineReferences(formula, results), variables).size();
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations() * kFormulas);
}
BENCHMARK(BM_Substitute)->Unit(benchmark::kMillisecond);

// The evaluation alone, on texts already substituted.
void BM_Evaluate(benchmark::State& state) {
  const std::vector<FeeVariable> variables = FeeVariables();
  const std::vector<double> results = LineResults();
  std::vector<std::string> texts;
  for (const std::string& formula : TypicalFormulas()) {
    texts.push_back(TiHuanBL(ReplaceLineReferences(formula, results), variables));
  }
  for (auto _ : state) {
    double total = 0;
    for (const std::string& text : texts) total += JiSuanGS(text);
    benchmark::DoNotOptimize(total);
  }
  state.SetItemsProcessed(state.iterations() * kFormulas);
}
BENCHMARK(BM_Evaluate)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillmere

BENCHMARK_MAIN();
