// What the boundaries a host may call through cost: one single-row
// recalculation (JiSuanZHDJ) called directly in C++, through the C interface
// (libquillmere.so, loaded as a foreign host loads it) and through the
// Python client, interleaved call by call on one generated project, with
// the median of each. The bill item price of bill item 0, which returns at
// once, shows the boundary alone.
// Usage: call_bench [SUBITEMS] [ROUNDS]

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "db/recordset.h"
#include "db/value.h"
#include "quillmere/cls_orvane.h"
#include "quillmere/connection.h"
#include "quillmere/pipeline.h"
#include "quillmere/project.h"
#include "quillmere/quillmere.h"
#include "quillmere/samples.h"

using namespace quillmere;

namespace {

// The Python host: says "ready" once its engine is open, then reads
// "MEMBER JSON-ARGUMENTS" lines, calls each through the client and answers
// with the seconds engine.call took.
const char* kPythonHost = R"(
import json, sys, time, quillmere
engine = quillmere.Engine(sys.argv[1])
print("ready", flush=True)
for line in sys.stdin:
    member, arguments = line.split(" ", 1)
    arguments = json.loads(arguments)
    start = time.perf_counter()
    engine.call(member, *arguments)
    print(time.perf_counter() - start, flush=True)
)";

struct PythonHost {
  FILE* to = nullptr;
  FILE* from = nullptr;
  pid_t pid = 0;

  explicit PythonHost(const std::string& db) {
    int down[2], up[2];
    if (pipe(down) != 0 || pipe(up) != 0) std::abort();
    pid = fork();
    if (pid == 0) {
      dup2(down[0], 0);
      dup2(up[1], 1);
      close(down[1]);
      close(up[0]);
      setenv("PYTHONPATH", QUILLMERE_PYTHON_DIR, 1);
      setenv("QUILLMERE_LIBRARY", QUILLMERE_C_LIBRARY, 1);
      execl("/usr/bin/python3", "python3", "-c", kPythonHost, db.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(down[0]);
    close(up[1]);
    to = fdopen(down[1], "w");
    from = fdopen(up[0], "r");
    // Opening reads the database, so the first timed call waits for it.
    char ready[16] = {};
    if (std::fscanf(from, "%15s", ready) != 1 || std::string(ready) != "ready") {
      std::fprintf(stderr, "the Python host could not open %s\n", db.c_str());
      std::exit(1);
    }
  }
  ~PythonHost() {
    fclose(to);
    fclose(from);
    waitpid(pid, nullptr, 0);
  }
  double Call(const std::string& member, const std::string& arguments) {
    std::fprintf(to, "%s %s\n", member.c_str(), arguments.c_str());
    std::fflush(to);
    double seconds = -1;
    if (std::fscanf(from, "%lf", &seconds) != 1) {
      std::fprintf(stderr, "the Python host stopped\n");
      std::exit(1);
    }
    return seconds;
  }
};

// The C interface as a host without C++ finds it: in the shared library.
struct CInterface {
  void* library = dlopen(QUILLMERE_C_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  template <typename F>
  F Function(const char* name) {
    if (library == nullptr) {
      std::fprintf(stderr, "%s\n", dlerror());
      std::exit(1);
    }
    return reinterpret_cast<F>(dlsym(library, name));
  }
  decltype(&qm_open) open = Function<decltype(&qm_open)>("qm_open");
  decltype(&qm_call) call = Function<decltype(&qm_call)>("qm_call");
  decltype(&qm_free) free = Function<decltype(&qm_free)>("qm_free");
  decltype(&qm_close) close = Function<decltype(&qm_close)>("qm_close");
};

double Seconds(const std::function<void()>& call) {
  const auto start = std::chrono::steady_clock::now();
  call();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int subitems = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 101;
  const std::string path =
      (std::filesystem::temp_directory_path() / ("quillmere_call_bench_" + std::to_string(getpid()) + ".db")).string();
  std::filesystem::remove(path);
  {
    Connection connection = Connection::Open(path);
    CreateProjectSchema(connection);
    WriteGeneratedProject(connection, subitems, 1);
    ClsOrvane orvane;
    orvane.CnnData(connection);
    const PipelineResult priced = RunPipeline(orvane, {});
    if (!priced.ok()) {
      std::fprintf(stderr, "%s failed: %s\n", priced.failed_stage.c_str(), priced.error.c_str());
      return 1;
    }
    Recordset rs;
    rs.Open(connection, "select ysid from qddyb order by ysid limit 1 offset (select count(*)/2 from qddyb)");
    const auto row = static_cast<std::int32_t>(ToNumber(rs.Field("ysid")));

    CInterface c;
    qm_engine* engine = nullptr;
    if (c.open(path.c_str(), &engine) != QM_OK) return 1;
    PythonHost python(path);

    struct Case {
      std::string label, member, arguments;
      std::function<void()> direct;
      std::vector<double> times[3];
    };
    double zgj = 0;
    Case cases[] = {
        {"JiSuanZHDJ, one row",
         "JiSuanZHDJ",
         "[" + std::to_string(row) + ", false]",
         [&] { orvane.JiSuanZHDJ(row, false); },
         {}},
        {"JiSuanQDDJ of bill item 0 (returns at once)",
         "JiSuanQDDJ",
         "[0, \"\", false, 0, false]",
         [&] { orvane.JiSuanQDDJ(0, "", false, zgj, false); },
         {}},
    };
    for (int round = 0; round < rounds; ++round) {
      for (Case& k : cases) {
        // Each way goes first in turn. Every way has its own connection, and
        // a connection that finds the file written by another reads the
        // schema and its pages afresh, as no host calling alone would: each
        // way calls twice in a row and the second call is the one timed.
        for (int turn = 0; turn < 3; ++turn) {
          const int way = (round + turn) % 3;
          for (int call = 0; call < 2; ++call) {
            double seconds = 0;
            if (way == 0) seconds = Seconds(k.direct);
            if (way == 1) {
              seconds = Seconds([&] {
                char* json = nullptr;
                c.call(engine, k.member.c_str(), k.arguments.c_str(), &json);
                c.free(json);
              });
            }
            if (way == 2) seconds = python.Call(k.member, k.arguments);
            if (call == 1) k.times[way].push_back(seconds);
          }
        }
      }
    }
    c.close(engine);
    std::printf("%d sub-items, row %d, %d rounds; medians\n", subitems, row, rounds);
    std::printf("%-46s %12s %12s %12s\n", "", "C++", "C interface", "Python");
    for (const Case& k : cases) {
      std::printf("%-46s %9.1f us %9.1f us %9.1f us\n", k.label.c_str(), Median(k.times[0]) * 1e6,
                  Median(k.times[1]) * 1e6, Median(k.times[2]) * 1e6);
    }
  }
  std::filesystem::remove(path);
  return 0;
}
