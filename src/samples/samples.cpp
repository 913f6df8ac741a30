// Sample projects: the demo project as a readable SQL script, and synthetic
// projects generated row by row from a seed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/statement.h"
#include "db/transaction.h"
#include "quillmere/connection.h"
#include "quillmere/samples.h"

namespace quillmere {
namespace {

constexpr const char* kDemoEstimate =
#include "samples/demo_estimate.sql.inc"
    ;

constexpr const char* kProjectProgramme =
#include "samples/project_programme.sql.inc"
    ;

// Runs a script of statements, each ending in ';' at the end of a line;
// lines starting with "--" are comments.
void RunScript(Connection& connection, std::string_view script) {
  std::string statement;
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find('\n', start);
    if (end == std::string_view::npos) end = script.size();
    std::string_view line = script.substr(start, end - start);
    start = end + 1;
    if (line.substr(0, 2) == "--") continue;
    statement.append(line);
    statement += '\n';
    if (!line.empty() && line.back() == ';') {
      connection.Execute(statement);
      statement.clear();
    }
  }
  if (statement.find_first_not_of(" \n") != std::string::npos) connection.Execute(statement);
}

// A small deterministic generator (splitmix64), the same on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // A whole number in [low, high].
  int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1)); }
  // A price or quantity with `decimals` decimals in [low, high].
  double Amount(double low, double high, int decimals) {
    double scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const auto steps = static_cast<std::uint64_t>((high - low) * scale);
    return low + static_cast<double>(Next() % (steps + 1)) / scale;
  }
  bool Chance(int percent) { return Between(1, 100) <= percent; }

 private:
  std::uint64_t state_;
};

struct Resource {
  std::string bh;
  std::string mc;
  std::string dw;
  double dj;
};

// Inserts rows through one prepared statement.
class Inserter {
 public:
  Inserter(Connection& connection, const std::string& table, const std::vector<std::string>& columns)
      : connection_(connection), sql_(Sql(table, columns)) {}
  void Row(const Params& values) {
    if (statement_) {
      statement_->Rebind(values);
    } else {
      statement_.emplace(connection_.handle(), sql_, values);
    }
    statement_->Run();
  }

 private:
  static std::string Sql(const std::string& table, const std::vector<std::string>& columns) {
    std::string names;
    std::string marks;
    for (const auto& c : columns) {
      names += (names.empty() ? "" : ",") + c;
      marks += marks.empty() ? "?" : ",?";
    }
    return "insert into " + table + " (" + names + ") values (" + marks + ")";
  }
  Connection& connection_;
  std::string sql_;
  std::optional<Statement> statement_;
};

std::string Code(const char* prefix, int n) {
  std::string digits = std::to_string(n);
  return prefix + std::string(digits.size() < 5 ? 5 - digits.size() : 0, '0') + digits;
}

}  // namespace

void WriteDemoProject(Connection& connection) {
  Transaction transaction(connection);
  RunScript(connection, kDemoEstimate);
  RunScript(connection, kProjectProgramme);
  transaction.Commit();
}

void WriteGeneratedProject(Connection& connection, int subitems, std::uint64_t seed) {
  Transaction transaction(connection);
  Random random(seed);

  // The catalogue: labour, materials, consumption items and machines.
  const std::vector<Resource> labour = {{"R0001", "综合人工", "工日", 43}, {"R0002", "技工", "工日", 52},
                                        {"R0003", "普工", "工日", 38}};
  const std::vector<Resource> consumption = {{"X0001", "柴油(机械用)", "kg", 5.2}, {"X0002", "电(机械用)", "kWh", 0.85},
                                             {"X0003", "水(机械用)", "m3", 4.26}, {"X0004", "汽油(机械用)", "kg", 6.1}};
  const char* units[] = {"m3", "t", "kg", "m2", "m", "个", "套"};
  std::vector<Resource> materials;
  for (int i = 1; i <= 400; ++i) {
    materials.push_back({Code("C", i), "材料" + std::to_string(i), units[random.Between(0, 6)],
                         random.Amount(1, 2000, 2)});
  }
  materials.push_back({"C90001", "电", "kWh", 0.85});
  materials.push_back({"C90002", "水", "m3", 4.26});
  std::vector<Resource> machines;
  for (int i = 1; i <= 120; ++i) {
    machines.push_back({Code("J", i), "机械" + std::to_string(i), "台班", random.Amount(100, 2000, 2)});
  }

  // Price lists cover most resources; provisional-price and owner-supplied
  // entries at the current price.
  Inserter clzxj(connection, "clzxj", {"bh", "mc", "dw", "dj", "xxdj"});
  Inserter jxzxj(connection, "jxzxj", {"bh", "mc", "dw", "dj", "xxdj"});
  Inserter zgjclb(connection, "zgjclb", {"bh", "mc", "ggxh", "dw", "dj", "iszb"});
  auto current = [&](const Resource& r) { return static_cast<double>(static_cast<long>(r.dj * random.Amount(0.9, 1.4, 2) * 100)) / 100; };
  for (const auto& r : labour) clzxj.Row({r.bh, r.mc, r.dw, r.dj, r.dj * 3});
  for (const auto& r : consumption) clzxj.Row({r.bh, r.mc, r.dw, r.dj, current(r)});
  for (size_t i = 0; i < materials.size(); ++i) {
    const Resource& r = materials[i];
    if (!random.Chance(90)) continue;
    const double price = current(r);
    clzxj.Row({r.bh, r.mc, r.dw, r.dj, price});
    if (i % 50 == 7) zgjclb.Row({r.bh, r.mc, std::string(), r.dw, price, std::int64_t{0}});
    if (i % 100 == 13) zgjclb.Row({r.bh, r.mc, std::string(), r.dw, price, std::int64_t{1}});
  }
  for (const auto& r : machines) {
    if (random.Chance(90)) jxzxj.Row({r.bh, r.mc, r.dw, r.dj, current(r)});
  }

  // Estimate rows: sections of two levels, bill items of three sub-items, and
  // about one bill item in twenty in the measure bill.
  Inserter zhys(connection, "zhys",
                {"ysid", "sjxh", "qdlb", "fbcch", "bzj", "zhmc", "qdxh", "dw", "yssl", "jsjs", "glffl", "lrfl", "gzlx"});
  Inserter gjrg(connection, "gjrg", {"ysid", "bh", "mc", "dw", "dj", "sl", "ysid_gl"});
  Inserter gjcl(connection, "gjcl",
                {"ysid", "clid", "bh", "mc", "dw", "dj", "sl", "cllb", "chaifen", "chaifenstyle", "ysid_gl"});
  Inserter gjjx(connection, "gjjx", {"ysid", "jxid", "bh", "mc", "dw", "dj", "sl", "ysid_gl"});
  Inserter gjjxfb(connection, "gjjxfb", {"ysid", "jxid", "bh", "mc", "dw", "dj", "sl"});
  Inserter gjpbf(connection, "gjpbf", {"ysid", "clid", "bh", "mc", "dw", "dj", "sl"});
  Inserter gjlpjb(connection, "gjlpjb", {"ysid", "clid", "bh", "mc", "dw", "dj", "sl"});
  Inserter ftrg(connection, "ftrg", {"ysid", "clid_src", "bh", "mc", "dw", "dj", "sl"});
  Inserter ftcl(connection, "ftcl", {"ysid", "clid_src", "clid", "bh", "mc", "dw", "dj", "sl", "chaifen", "chaifenstyle"});
  Inserter ftjx(connection, "ftjx", {"ysid", "clid_src", "jxid", "bh", "mc", "dw", "dj", "sl"});
  Inserter ftjxfb(connection, "ftjxfb", {"ysid", "clid_src", "jxid", "bh", "mc", "dw", "dj", "sl"});

  const char* categories[] = {"道路、市政排水工程", "市政给水、燃气、路灯工程", "桥梁、水工构筑物", "机械大型土石方",
                              "人工大型土石方", "其他"};
  const std::int64_t no_row = 0;
  std::int64_t ysid = 1;
  double sjxh = 0;
  const int bill_items = (subitems + 2) / 3;
  bool in_measure_bill = false;
  for (int b = 0; b < bill_items; ++b) {
    const bool measure = b * 20 >= bill_items * 19;  // the last twentieth
    const std::int64_t qdlb = measure ? 1 : 0;
    if (measure && !in_measure_bill) {
      zhys.Row({ysid++, ++sjxh, qdlb, 1.0, std::int64_t{0}, "施工技术措施", Value{}, Value{}, 0.0, Value{}, 0.0, 0.0,
                Value{}});
      in_measure_bill = true;
    } else if (!measure && b % 60 == 0) {
      zhys.Row({ysid++, ++sjxh, qdlb, 1.0, std::int64_t{0}, "分部" + std::to_string(b / 60 + 1), Value{}, Value{},
                0.0, Value{}, 0.0, 0.0, Value{}});
    }
    if (!measure && b % 12 == 0) {
      zhys.Row({ysid++, ++sjxh, qdlb, 2.0, std::int64_t{0}, "子分部" + std::to_string(b / 12 + 1), Value{}, Value{},
                0.0, Value{}, 0.0, 0.0, Value{}});
    }
    const std::string category = categories[random.Between(0, 5)];
    const double bill_quantity = random.Amount(10, 5000, 2);
    zhys.Row({ysid++, ++sjxh, qdlb, 5.0, std::int64_t{0}, "清单项目" + std::to_string(b + 1),
              "04" + std::string(10 - std::to_string(b + 1).size(), '0') + std::to_string(b + 1), "m3", bill_quantity,
              Value{}, 0.0, 0.0, category});
    std::int64_t previous_subitem = 0;
    for (int s = 0; s < 3 && b * 3 + s < subitems; ++s) {
      const std::int64_t row = ysid++;
      zhys.Row({row, ++sjxh, qdlb, 0.0, std::int64_t{0}, "定额子目" + std::to_string(row), "1-" + std::to_string(row),
                "100m3", random.Amount(0.1, bill_quantity / 50 + 1, 3), random.Chance(10) ? "人工" : "人工+机械",
                0.18, 0.10, category});
      for (int i = random.Between(1, 2); i > 0; --i) {
        const Resource& r = labour[static_cast<size_t>(random.Between(0, 2))];
        gjrg.Row({row, r.bh, r.mc, r.dw, r.dj, random.Amount(0.1, 20, 3), no_row});
      }
      if (previous_subitem != 0 && random.Chance(3)) {
        gjrg.Row({row, "0000FE", "人工降效", "%", 0.0, 10.0, previous_subitem});
      }
      std::int64_t clid = 0;
      for (int i = random.Between(7, 9); i > 0; --i) {
        const Resource& r = materials[static_cast<size_t>(random.Between(0, static_cast<int>(materials.size()) - 1))];
        gjcl.Row({row, ++clid, r.bh, r.mc, r.dw, r.dj, random.Amount(0.01, 50, 3), i == 1 && random.Chance(30) ? "主材" : "",
                  std::int64_t{0}, std::int64_t{0}, no_row});
      }
      if (random.Chance(10)) {
        // A split material priced by its components.
        const std::int64_t style = random.Between(1, 3);
        const std::int64_t material = ++clid;
        gjcl.Row({row, material, Code("P", static_cast<int>(style)), "配合比材料" + std::to_string(style), "m3", 0.0,
                  random.Amount(0.1, 10, 3), "", std::int64_t{1}, style, no_row});
        for (int c = 0; c < 3; ++c) {
          const Resource& r = materials[static_cast<size_t>(random.Between(0, 399))];
          const Params component{row, material, r.bh, r.mc, r.dw, r.dj, random.Amount(0.01, 2, 3)};
          if (style == 1) gjpbf.Row(component);
          if (style == 2) gjlpjb.Row(component);
          if (style == 3) {
            ftcl.Row({row, material, std::int64_t{c + 1}, r.bh, r.mc, r.dw, r.dj, random.Amount(0.01, 2, 3),
                      std::int64_t{0}, std::int64_t{0}});
          }
        }
        if (style == 3) {
          ftrg.Row({row, material, labour[0].bh, labour[0].mc, labour[0].dw, labour[0].dj, random.Amount(0.1, 2, 3)});
          const Resource& m = machines[static_cast<size_t>(random.Between(0, 119))];
          ftjx.Row({row, material, std::int64_t{1}, m.bh, m.mc, m.dw, m.dj, random.Amount(0.01, 1, 3)});
          ftjxfb.Row({row, material, std::int64_t{1}, consumption[1].bh, consumption[1].mc, consumption[1].dw,
                      consumption[1].dj, random.Amount(1, 20, 2)});
        }
      }
      if (random.Chance(8)) {
        gjcl.Row({row, ++clid, "CLFQT", "其他材料费", "%", 0.0, 2.0, "", std::int64_t{0}, std::int64_t{0}, no_row});
      }
      std::int64_t jxid = 0;
      for (int i = random.Between(2, 3); i > 0; --i) {
        const Resource& m = machines[static_cast<size_t>(random.Between(0, 119))];
        gjjx.Row({row, ++jxid, m.bh, m.mc, m.dw, m.dj, random.Amount(0.01, 3, 3), no_row});
        const Resource& fuel = consumption[static_cast<size_t>(random.Chance(60) ? 0 : random.Between(1, 3))];
        gjjxfb.Row({row, jxid, fuel.bh, fuel.mc, fuel.dw, fuel.dj, random.Amount(1, 80, 2)});
        if (random.Chance(30)) {
          gjjxfb.Row({row, jxid, consumption[2].bh, consumption[2].mc, consumption[2].dw, consumption[2].dj,
                      random.Amount(0.1, 5, 2)});
        }
      }
      previous_subitem = row;
    }
  }

  // Measures priced by formula under a class-1 section.
  zhys.Row({ysid++, ++sjxh, std::int64_t{1}, 2.0, std::int64_t{0}, "施工组织措施", Value{}, Value{}, 0.0, Value{}, 0.0,
            0.0, Value{}});
  connection.Execute("update zhys set cslb='1' where ysid=?", {ysid - 1});
  const struct {
    double level;
    const char* name;
    const char* formula;
    double rate;
    const char* mark;
  } measures[] = {{6, "安全文明施工费", "人工费(分部分项)+机械费(分部分项)", 16, "1"},
                  {6, "夜间施工增加费", "人工费(分部分项)", 2, ""},
                  {7, "夜间照明", "人工费(分部分项)", 1.5, ""},
                  {7, "夜间施工降效", "人工费(分部分项)+机械费(分部分项)", 0.8, ""},
                  {6, "二次搬运费", "人工费(分部分项)", 1.2, ""}};
  for (const auto& m : measures) {
    connection.Execute(
        "insert into zhys (ysid,sjxh,qdlb,fbcch,bzj,zhmc,yssl,jsjs,zdycsfl,bhlb,cslb) values (?,?,1,?,0,?,1,?,?,?,'1')",
        {ysid++, ++sjxh, m.level, std::string(m.name), std::string(m.formula), m.rate, std::string(m.mark)});
  }

  RunScript(connection, kProjectProgramme);
  connection.Execute("insert into gcxxb (mingc,shuzhi) values ('工程名称','合成项目'),('建筑面积',?)",
                     {std::to_string(subitems * 5)});
  transaction.Commit();
}

}  // namespace quillmere
