// Quota base prices: every resource priced at its base price and the
// base amounts of every fee row, for the whole project or one row.
//
// The plan, in the order that matters:
//  (1) fee rows: rebuilt with every amount 0 (the whole project), or the
//      row's own fee row and bill mapping entry replaced (one row);
//  (2) every resource line gets its base amount hj = dj*sl;
//  (3) split materials take their unit price from their components: first
//      the split components of style-3 breakdowns (ftcl) from ftpbf, then
//      the material, labour and machine parts of gjcl from gjpbf, gjlpjb
//      and the ftrg/ftcl/ftjx breakdown, whose sum is the material's price;
//  (4) ordinary lines are added up per row into rgjj, fcjj, zcjj, jxjj;
//  (5) plain percentage lines are priced on their own row's amounts of (4)
//      and added;
//  (6) linked percentage lines are priced on the amounts of the row they
//      name, then added; because those amounts are still being completed
//      by this very step, the whole project runs a second pass over the
//      lines that came out at 0 and marks them (azfy=1) so that only their
//      new amounts are added.
// Each step reads what the step before it completed: (3) needs the hj of
// (2), the sums of (4) the parts of (3), and (5) the sums of (4).

#include "calc/resources/base_prices.h"

#include <string>
#include <vector>

#include "calc/figure_check.h"

namespace quillmere {
namespace {

// The resource tables whose lines carry a base amount hj = dj*sl.
constexpr const char* kAmountTables[] = {"gjrg", "gjcl", "gjjx", "gjpbf", "gjlpjb", "ftrg", "ftcl", "ftjx", "ftpbf"};

// The parts of a split material of gjcl that its components price: the
// components of style 1 (gjpbf) and 2 (gjlpjb) give the material part, the
// labour, material and machine lines of a style-3 breakdown give one part
// each. `key` is the component's column naming the material.
struct SplitPart {
  const char* scratch;
  const char* source;
  const char* key;
  const char* sum;     // the component sum, a unit price of the material
  const char* price;   // the gjcl part it prices
  const char* amount;  // and that part's amount
  const char* style;
};
constexpr SplitPart kSplitParts[] = {
    {"gjpbftemp", "gjpbf", "clid", "pbdj", "cldj", "clhj", "1"},
    {"gjlpjbtemp", "gjlpjb", "clid", "lpjdj", "cldj", "clhj", "2"},
    {"ftrgtemp", "ftrg", "clid_src", "rgdj", "rgdj", "rghj", "3"},
    {"ftcltemp", "ftcl", "clid_src", "cldj", "cldj", "clhj", "3"},
    {"ftjxtemp", "ftjx", "clid_src", "jxdj", "jxdj", "jxhj", "3"},
};

// A percentage line charged on another row's amounts: `base` is read from
// that row's fee row (qfsjb).
struct LinkedCode {
  const char* code;
  const char* base;
};

// The three kinds of resource line and the fee-row amount each adds to.
struct ResourceKind {
  const char* table;
  const char* scratch;
  const char* amount;     // the line's amount that is added up: hj, or clhj for materials
  const char* fee;        // the fee-row column it adds to
  const char* sum_alias;  // the scratch table's column
  bool material;          // a material line keeps its material part (cldj, clhj) equal to dj, hj
  std::vector<LinkedCode> linked;
};
const std::vector<ResourceKind>& Kinds() {
  // clang-format off
  static const std::vector<ResourceKind> kinds = {
      {"gjrg", "gjrgtemp", "hj", "rgjj", "rgjj", false,
       {{"0000FE", "qfsjb.rgjj"}, {"0000FF", "(qfsjb.rgjj+qfsjb.jxjj)"}}},
      {"gjcl", "gjcltemp", "clhj", "fcjj", "cljj", true,
       {{"1000FE", "qfsjb.rgjj"}, {"1000FF", "(qfsjb.rgjj+qfsjb.jxjj)"}}},
      {"gjjx", "gjjxtemp", "hj", "jxjj", "jxjj", false,
       {{"J000FE", "qfsjb.rgjj"}, {"J000FF", "(qfsjb.rgjj+qfsjb.jxjj)"}, {"J000FG", "qfsjb.jxjj"}}},
  };
  // clang-format on
  return kinds;
}

// "('0000FE','0000FF')": the linked codes of a kind, as an SQL list.
std::string LinkedCodeList(const ResourceKind& kind) {
  std::string list;
  for (const auto& linked : kind.linked) list += std::string(list.empty() ? "(" : ",") + "'" + linked.code + "'";
  return list + ")";
}

class BasePricing {
 public:
  BasePricing(Connection& connection, const Scope& scope) : scope_(scope), run_(connection, scope) {}

  void Run() {
    RebuildFeeRows();
    for (const char* table : kAmountTables) {
      // The material lines get their amount together with their parts.
      if (std::string(table) == "gjcl") continue;
      Execute(std::string("update ") + table + " set hj=format(dj*sl,'0.##')" + scope_.Where());
    }
    PriceSplitMaterials();
    AddUpOrdinaryLines();
    PricePlainPercentageLines();
    PriceLinkedPercentageLines();
  }

 private:
  void Execute(const std::string& sql) { run_(sql); }

  void RebuildFeeRows() {
    Execute("delete from qfsjb" + scope_.Where());
    if (scope_.whole()) {
      // Rows of bill category 3 stay out of the fee calculation.
      Execute(
          "insert into qfsjb (sjxh,ysid,dergdj,zrg,rgjj,rgjc,rgf,zcjj,zcjc,zcf,fcjj,fcjc,fcf,jxjj,jxjc,jxf,glffl,lrfl,"
          "fxfl,glf,lr,fxf,zhdj,sjgcl,zhbj,jsjs,fbcch,zcf_qd,zgj_qd,zgjhj_qd,fcf_qd,sjgcl_qd,qdlb) "
          "select sjxh,ysid,0,0,0,0,0,0,0,0,0,0,0,0,0,0,glffl,lrfl,fxfl,0,0,0,0,sjgcl,0,jsjs,fbcch,0,0,0,0,0,qdlb "
          "from zhys where qdlb<>3");
      Execute("UPDATE qfsjb SET sjgcl_qd=qddyb.sjgcl_qd FROM qddyb WHERE qfsjb.ysid=qddyb.ysid");
    } else {
      // One row is priced on its own quantity, whatever its bill category,
      // and mapped to no section or bill item; dergdj keeps its default.
      Execute(
          "insert into qfsjb (sjxh,ysid,zrg,rgjj,rgjc,rgf,zcjj,zcjc,zcf,fcjj,fcjc,fcf,jxjj,jxjc,jxf,glffl,lrfl,fxfl,"
          "glf,lr,fxf,zhdj,sjgcl,zhbj,jsjs,fbcch,zcf_qd,zgj_qd,zgjhj_qd,fcf_qd,sjgcl_qd,qdlb) "
          "select sjxh,ysid,0,0,0,0,0,0,0,0,0,0,0,0,0,glffl,lrfl,fxfl,0,0,0,0,yssl,0,jsjs,fbcch,0,0,0,0,0,qdlb "
          "from zhys where ysid=:ysid");
      Execute("delete from qddyb where ysid=:ysid");
      Execute(
          "insert into qddyb (ysid,fb1,fb2,fb3,fb4,fb5,sjgcl,sjgcl_qd) select ysid,0 as fb1,0 as fb2,0 as fb3,"
          "0 as fb4,0 as fb5,yssl as sjgcl,0 as sjgcl_qd from zhys where ysid=:ysid");
    }
  }

  void PriceSplitMaterials() {
    // A split component of a style-3 breakdown loses its own price; only
    // style 1 prices it again, so a component of another style keeps the hj
    // its former price gave it above, until the next run finds dj at 0.
    Execute("update ftcl set dj=0 where chaifen=TRUE" + scope_.And());
    Execute(
        "UPDATE ftcl SET dj=ftpbftemp.pbdj,hj=format(ftpbftemp.pbdj*ftcl.sl,'0.##') FROM (SELECT clid,clid_src,ysid,"
        "sum(hj) as pbdj FROM ftpbf" +
        scope_.Where() +
        " group by clid,clid_src,ysid) AS ftpbftemp "
        "WHERE ftcl.clid=ftpbftemp.clid and ftcl.clid_src=ftpbftemp.clid_src and ftcl.ysid=ftpbftemp.ysid "
        "AND ftcl.chaifenstyle=1" +
        scope_.And("ftcl.ysid"));

    // Every material line gets its base amount. A material line is its own
    // material part; a split one starts from nothing. A null chaifen is
    // neither and keeps its parts. (No statement above reads gjcl, so its
    // amounts can wait for this pass.)
    const std::string amount = "format(dj*sl,'0.##')";
    Execute("update gjcl set hj=" + amount + ",cldj=dj,clhj=" + amount +
            ",rgdj=0,rghj=0,jxdj=0,jxhj=0 where chaifen=FALSE" + scope_.And());
    Execute("update gjcl set hj=" + amount + ",cldj=0,clhj=0,rgdj=0,rghj=0,jxdj=0,jxhj=0 where chaifen=TRUE" +
            scope_.And());
    Execute("update gjcl set hj=" + amount + " where (chaifen=FALSE) is not 1 and (chaifen=TRUE) is not 1" +
            scope_.And());
    for (const SplitPart& part : kSplitParts) {
      const std::string t = part.scratch;
      Execute("UPDATE gjcl SET " + std::string(part.price) + "=" + t + "." + part.sum + "," + part.amount + "=format(" +
              t + "." + part.sum + "*gjcl.sl,'0.##') FROM (SELECT " + part.key + ",ysid,sum(hj) as " + part.sum +
              " FROM " + part.source + scope_.Where() + " group by " + part.key + ",ysid) AS " + t +
              " WHERE gjcl.clid=" + t + "." + part.key + " and gjcl.ysid=" + t +
              ".ysid AND gjcl.chaifenstyle=" + part.style + " and chaifen=TRUE" + scope_.And("gjcl.ysid"));
    }
    // Every material's price is the unrounded sum of its parts. An ordinary
    // material's parts are its own price and amount, which stay as they are.
    // Of an ordinary material that sum is its own price: only the others are
    // looked at.
    Execute(
        "update gjcl set dj=rgdj+cldj+jxdj,hj=format((rgdj+cldj+jxdj)*sl,'0.##') "
        "where (chaifen=FALSE) is not 1 and (dj is not rgdj+cldj+jxdj or hj is not "
        "format((rgdj+cldj+jxdj)*sl,'0.##'))" +
        scope_.And());
  }

  // Adds `sums` of `table`'s lines matching `condition` per estimate row onto
  // the fee rows: `assignments` name the columns of the sums, called
  // `scratch`. The sums are a subquery of the update, not a table of their
  // own, since creating and dropping a table would make every statement the
  // connection keeps prepared be prepared again.
  void AddUp(const std::string& scratch, const std::string& sums, const std::string& table,
             const std::string& condition, const std::string& assignments) {
    Execute("UPDATE qfsjb SET " + assignments + " FROM (SELECT ysid," + sums + " FROM " + table + " WHERE " +
            condition + scope_.And() + " group by ysid) AS " + scratch + " WHERE qfsjb.ysid=" + scratch + ".ysid" +
            scope_.And("qfsjb.ysid"));
  }

  // The sum of a kind's percentage lines matching `condition`, added onto
  // the fee-row amount of that kind.
  void AddUpPercentageLines(const ResourceKind& kind, const std::string& condition) {
    const std::string scratch = kind.scratch;
    AddUp(scratch, std::string("sum(") + kind.amount + ") as " + kind.sum_alias, kind.table, "dw='%' and " + condition,
          std::string(kind.fee) + "=qfsjb." + kind.fee + "+" + scratch + "." + kind.sum_alias);
  }

  void AddUpOrdinaryLines() {
    // Labour parts of ordinary materials (split style 3) count as labour,
    // their machine parts as machines; fcjj and jxjj are set here, so the
    // machine lines are added after. Of a main material only the material
    // part counts, and a material of another class counts nowhere.
    AddUp("gjrgtemp", "sum(hj) as rgjj", "gjrg", "dw<>'%'", "rgjj=gjrgtemp.rgjj");
    AddUp("gjcltemp", "sum(rghj) as rgjj,sum(clhj) as cljj,sum(jxhj) as jxjj", "gjcl", "dw<>'%' and cllb=''",
          "rgjj=qfsjb.rgjj+gjcltemp.rgjj,fcjj=gjcltemp.cljj,jxjj=gjcltemp.jxjj");
    AddUp("gjcltemp", "sum(clhj) as cljj", "gjcl", "dw<>'%' and cllb='主材'", "zcjj=gjcltemp.cljj");
    AddUp("gjjxtemp", "sum(hj) as jxjj", "gjjx", "dw<>'%'", "jxjj=qfsjb.jxjj+gjjxtemp.jxjj");
  }

  void PricePlainPercentageLines() {
    // A plain percentage line is charged on its own row's amount of its
    // kind; a material one counts into fcjj even when it is a main material.
    for (const ResourceKind& kind : Kinds()) {
      const std::string t = kind.table;
      const std::string price = "qfsjb." + std::string(kind.fee);
      const std::string amount = "format(" + price + "*" + t + ".sl/100,'0.##')";
      std::string assignments = "dj=" + price + ",hj=" + amount;
      if (kind.material) assignments += ",cldj=" + price + ",clhj=" + amount;
      Execute("UPDATE " + t + " SET " + assignments + " FROM qfsjb WHERE " + t + ".ysid=qfsjb.ysid AND " + t +
              ".dw='%' and " + t + ".bh not in " + LinkedCodeList(kind) + scope_.And("qfsjb.ysid"));
    }
    for (const ResourceKind& kind : Kinds()) AddUpPercentageLines(kind, "bh not in " + LinkedCodeList(kind));
  }

  // Prices the `code` lines of `kind` on the named row's `base`, spread over
  // the line's own row quantity (0 counting as 1). The second pass only
  // prices lines still at 0 and marks them.
  void PriceLinkedLines(const ResourceKind& kind, const LinkedCode& code, bool second_pass) {
    const std::string t = kind.table;
    const std::string price =
        "format(" + std::string(code.base) + "*qfsjb.sjgcl/iif(qddyb.sjgcl=0,1,qddyb.sjgcl),'0.##')";
    const std::string amount = "format(" + price + "*" + t + ".sl/100,'0.##')";
    std::string assignments = "dj=" + price + ",hj=" + amount;
    if (kind.material) assignments += ",cldj=" + price + ",clhj=" + amount;
    if (second_pass) assignments += ",azfy=1";
    Execute("UPDATE " + t + " SET " + assignments + " FROM qfsjb, qddyb WHERE " + t + ".ysid_gl=qfsjb.ysid AND " + t +
            ".ysid=qddyb.ysid AND " + t + ".dw='%' and " + t + ".bh='" + code.code + "'" +
            (second_pass ? " and " + t + ".dj=0" : std::string()) + scope_.And(t + ".ysid"));
  }

  void PriceLinkedPercentageLines() {
    for (const ResourceKind& kind : Kinds()) {
      // A line whose joins find no partner keeps the zeros of its reset.
      // One row's reset keeps the pass marks of the last whole-project run;
      // a material line loses its material part in both forms, or a line
      // without partner would add to fcjj the plain dj*sl it was given as
      // an ordinary line above, a hundred times its percentage amount.
      std::string reset = "dj=0,hj=0";
      if (kind.material) reset = "dj=0,cldj=0,clhj=0,hj=0";
      if (scope_.whole()) reset += ",azfy=0";
      Execute("update " + std::string(kind.table) + " set " + reset + " where dw='%' and bh in " +
              LinkedCodeList(kind) + scope_.And());
      for (const LinkedCode& code : kind.linked) PriceLinkedLines(kind, code, false);
    }
    for (const ResourceKind& kind : Kinds()) AddUpPercentageLines(kind, "bh in " + LinkedCodeList(kind));
    if (!scope_.whole()) return;

    // The named row's amounts were read while still being completed: a line
    // whose named row had no amount yet is priced again on the completed
    // amounts, and only these marked lines are added, so none counts twice.
    for (const ResourceKind& kind : Kinds()) {
      for (const LinkedCode& code : kind.linked) PriceLinkedLines(kind, code, true);
    }
    for (const ResourceKind& kind : Kinds()) {
      AddUpPercentageLines(kind, "bh in " + LinkedCodeList(kind) + " and azfy=1");
    }
  }

  const Scope& scope_;
  StageRunner run_;
};

}  // namespace

void PriceAtBasePrices(Connection& connection, const Scope& scope) {
  std::vector<FigureSet> read = {{"zhys", {}, scope.Rows()}}, computed;
  for (const char* table : kAmountTables) {
    read.push_back({table, {}, scope.Rows()});
    computed.push_back({table, {"hj"}, scope.Rows()});
  }
  computed.push_back({"gjcl", {"dj", "cldj", "clhj", "rgdj", "rghj", "jxdj", "jxhj"}, scope.Rows()});
  computed.push_back({"qfsjb", {"rgjj", "fcjj", "zcjj", "jxjj"}, scope.Rows()});
  CheckFigures(connection, read, FigureUse::kRead, scope.params());
  BasePricing(connection, scope).Run();
  CheckFigures(connection, computed, FigureUse::kComputed, scope.params());
}

}  // namespace quillmere
