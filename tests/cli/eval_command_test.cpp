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
  // 10/100*300 = 30.
  EvalRun run = Eval("'10%*[2]' --line 2=300");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "30\n");
  EXPECT_EQ(run.err, "");
  // (-3)^2 + 250 - 100 = 159: the negative value keeps its sign, AB is not
  // eaten by A although A comes first.
  run = Eval("'x^2+AB-A' --var A=100 --var AB=250 --var x=-3");
  EXPECT_EQ(run.out, "159\n");
  // (1000 + 2*50) * 3/100 = 33; line 5 is not given and counts 0.
  run = Eval("'(人工费+[1]*[4])*3%+[5]' --var 人工费=1000 --line 1=2 --line 4=50");
  EXPECT_EQ(run.out, "33\n");
  // Line references are replaced before variables: a variable named "[1]"
  // never sees the reference.
  run = Eval("'[1]' --line 1=7 --var '[1]=9'");
  EXPECT_EQ(run.out, "7\n");
  run = Eval("-- '-2^2'");
  EXPECT_EQ(run.out, "-4\n");
}

TEST(EvalCommand, EvaluationErrorPrintsZeroAndTheReason) {
  EvalRun run = Eval("'1/0'");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "0\n");
  EXPECT_EQ(run.err, "quillmere: the formula counts as 0: Division by zero\n");
  run = Eval("'人工费*2'");  // a variable not given stays in the text
  EXPECT_EQ(run.out, "0\n");
  EXPECT_EQ(run.err, "quillmere: the formula counts as 0: Invalid character\n");
  run = Eval("''");
  EXPECT_EQ(run.out, "0\n");
  EXPECT_EQ(run.err, "quillmere: the formula counts as 0: Expected expression\n");
}

TEST(EvalCommand, FormulaThatWouldStopTheTotalsFails) {
  EvalRun run = Eval("'[70000]'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "quillmere: the project totals would stop at this formula: Overflow\n");
  run = Eval("'[-1]+2'");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quillmere: the project totals would stop at this formula: Subscript out of range\n");
}

TEST(EvalCommand, MalformedArgumentsAreUsageErrors) {
  EXPECT_EQ(Eval("").status, 2);
  EXPECT_EQ(Eval("5 --var A").status, 2);
  EXPECT_EQ(Eval("5 --var A=abc").status, 2);
  EXPECT_EQ(Eval("5 --var =3").status, 2);
  EXPECT_EQ(Eval("5 --line x=1").status, 2);
  EXPECT_EQ(Eval("5 --line 40000=1").status, 2);
  EXPECT_EQ(Eval("5 --line -1=1").status, 2);
}

}  // namespace
}  // namespace quillmere
