// quillmere eval as an estimator runs it: the value of a formula after the
// substitutions of the project totals, the reason for a 0, and exit statuses.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quillmere {
namespace {

struct EvalRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs "quillmere eval" with `arguments` (already quoted for the shell).
EvalRun Eval(const std::string& arguments) {
  EvalRun run;
  const std::string err_path =
      (std::filesystem::temp_directory_path() / ("quillmere_eval_" + std::to_string(getpid()) + ".err")).string();
  const std::string command = std::string(QUILLMERE_CLI) + " eval " + arguments + " 2>" + err_path;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(err_path);
  run.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::filesystem::remove(err_path);
  return run;
}

TEST(EvalCommand, SubstitutesLinesThenVariablesThenPercentSigns) {
  // 10/100*300 = 30. (-3)^2 + 250 - 100 = 159: the negative value keeps its
  // sign, AB is not eaten by A although A comes first. (1000 + 2*50) * 3/100
  // = 33, line 5 not given counts 0. Line references go before variables: a
  // variable named "[1]" never sees the reference.
  for (const auto& [arguments, out] : {std::pair{"'10%*[2]' --line 2=300", "30\n"},
                                       {"'x^2+AB-A' --var A=100 --var AB=250 --var x=-3", "159\n"},
                                       {"'(人工费+[1]*[4])*3%+[5]' --var 人工费=1000 --line 1=2 --line 4=50", "33\n"},
                                       {"'[1]' --line 1=7 --var '[1]=9'", "7\n"},
                                       {"-- '-2^2'", "-4\n"}}) {
    const EvalRun run = Eval(arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    EXPECT_EQ(run.out, out) << arguments;
    EXPECT_EQ(run.err, "") << arguments;
  }
}

TEST(EvalCommand, EvaluationErrorPrintsZeroAndTheReason) {
  // A variable not given stays in the text.
  for (const auto& [formula, reason] :
       {std::pair{"'1/0'", "Division by zero"}, {"'人工费*2'", "Invalid character"}, {"''", "Expected expression"}}) {
    const EvalRun run = Eval(formula);
    EXPECT_EQ(run.status, 0) << formula;
    EXPECT_EQ(run.out, "0\n") << formula;
    EXPECT_EQ(run.err, std::string("quillmere: the formula counts as 0: ") + reason + "\n") << formula;
  }
}

TEST(EvalCommand, FormulaThatWouldStopTheTotalsFails) {
  for (const auto& [formula, reason] : {std::pair{"'[70000]'", "Overflow"}, {"'[-1]+2'", "Subscript out of range"}}) {
    const EvalRun run = Eval(formula);
    EXPECT_EQ(run.status, 1) << formula;
    EXPECT_EQ(run.out, "") << formula;
    EXPECT_EQ(run.err, std::string("quillmere: the project totals would stop at this formula: ") + reason + "\n");
  }
}

TEST(EvalCommand, MalformedArgumentsAreUsageErrors) {
  for (const char* arguments :
       {"", "5 --var A", "5 --var A=abc", "5 --var =3", "5 --line x=1", "5 --line 40000=1", "5 --line -1=1"}) {
    EXPECT_EQ(Eval(arguments).status, 2) << arguments;
  }
}

}  // namespace
}  // namespace quillmere
