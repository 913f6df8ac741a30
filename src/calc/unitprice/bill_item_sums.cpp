// Bill item figures summed from sub-items (see bill_item_sums.h).

#include "calc/unitprice/bill_item_sums.h"

namespace quillmere {
namespace {

// The per-unit figure of a sub-item that a bill item sums, and its rounding.
// Labour days keep four decimals, money two. A sub-item's main material is
// taken as base amount plus difference, so the bill item's sum does not
// depend on how the sub-item's own current amount was settled.
std::string SubItemFigure(std::string_view figure) {
  const std::string amount = figure == "zcf" ? "(qfsjb.zcjj+qfsjb.zcjc)" : "qfsjb." + std::string(figure);
  const char* pattern = figure == "zrg" ? "0.####" : "0.##";
  return "sum(format(" + amount + "*qfsjb.sjgcl_qd,'" + pattern + "')) as " + std::string(figure) + "_qd";
}

}  // namespace

std::string SubItemSums(Figures figures, std::string_view where) {
  std::string sql = "select qddyb.fb5 as ysid_qd";
  for (std::string_view figure : figures) sql += "," + SubItemFigure(figure);
  sql += " from qfsjb inner join qddyb on qfsjb.ysid=qddyb.ysid";
  if (!where.empty()) sql += " where " + std::string(where);
  return sql + " group by qddyb.fb5";
}

std::string SubItemSumsAsDesjb(Figures figures, std::string_view where) {
  return "(" + SubItemSums(figures, where) + ") as desjb";
}

std::string SetBillItemsFromDesjb(std::string_view table, Figures figures, std::string_view and_where,
                                  std::string_view sums) {
  std::string sql = "update " + std::string(table) + " set ";
  const char* separator = "";
  for (std::string_view figure : figures) {
    sql += separator + std::string(figure) + "=desjb." + std::string(figure) + "_qd";
    separator = ",";
  }
  sql += " from " + std::string(sums) + " where qfsjb.ysid=desjb.ysid_qd";
  if (!and_where.empty()) sql += " and " + std::string(and_where);
  return sql;
}

}  // namespace quillmere
