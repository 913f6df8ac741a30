// Project fee variables: the priced project summed into the named fee
// variables, the labour days and the electricity and water used.
//
// The variables are written in this order:
//   (1) the sub-item bill, then (2) the measure bill: totals and their labour,
//       material, main-material, provisional-price, machine, management-fee
//       and profit parts, set outright, except "材料暂估价", which the
//       measure bill adds to the sub-item amount just written;
//   (3) the works-category totals, reset to 0 and then accumulated group by
//       group, so a second run gives the same values as the first;
//   (4) the total labour days, always from the quota sub-items, also into
//       the project information and the caller's zgr;
//   (5) owner-supplied material and (6) independent fees;
//   (7) electricity and water from the project materials and the machines'
//       consumption items.
// The rows summed depend on the pricing mode: bill items carry the prices
// when the project is priced by bill items, quota sub-items otherwise.

#include "calc/totals/fee_variables.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "base/decimal.h"
#include "calc/figure_check.h"
#include "calc/totals/fee_lists.h"
#include "db/recordset.h"
#include "db/value.h"

namespace quillmere {
namespace {

// The rows that carry the prices and how their bill total is formed: bill
// items keep their stored total, a quota sub-item's total is its unit price
// times its quantity rounded to cents.
struct PricingMode {
  int level;                  // fbcch of the priced rows
  const char* bill_total;     // sum over the priced rows
  const char* main_material;  // main-material amount per unit
};

constexpr PricingMode kBillItemPricing = {5, "sum(qfsjb.zhbj)", "qfsjb.zcf_qd"};
constexpr PricingMode kSubItemPricing = {0, "sum(format(qfsjb.zhdj*qfsjb.sjgcl,'0.##'))", "qfsjb.zcf"};

// The bill sums and the variables that receive them, for the sub-item bill
// and for the measure bill.
struct BillVariable {
  const char* column;
  const char* sub_item_bill;
  const char* measure_bill;
};

constexpr const char* kProvisionalMaterial = "材料暂估价";

// clang-format off
constexpr BillVariable kBillVariables[] = {
    {"qdhj",  "工程量清单计价",   "施工技术措施"},
    {"rgfhj", "人工费(分部分项)", "人工费(措施项目)"},
    {"fcfhj", "材料费(分部分项)", "材料费(措施项目)"},
    {"zcfhj", "主材费(分部分项)", "主材费(措施项目)"},
    {"zgjhj", "暂估价(分部分项)", "暂估价(措施项目)"},
    {"zgjhj", kProvisionalMaterial, kProvisionalMaterial},
    {"jxfhj", "机械费(分部分项)", "机械费(措施项目)"},
    {"glfhj", "管理费(分部分项)", "管理费(措施项目)"},
    {"lrhj",  "利润(分部分项)",   "利润(措施项目)"},
};
// clang-format on

// Works categories with their variables in each bill; the last line takes
// every other category, an empty or missing one included.
struct WorksCategory {
  const char* gzlx;
  const char* sub_item_bill;
  const char* measure_bill;
};

constexpr WorksCategory kWorksCategories[] = {
    {"人工大型土石方", "分部分项(人工大型土石方)", "措施项目(人工大型土石方)"},
    {"机械大型土石方", "分部分项(机械大型土石方)", "措施项目(机械大型土石方)"},
    {"桥梁、水工构筑物", "分部分项(桥梁、水工构筑物)", "措施项目(桥梁、水工构筑物)"},
    {"道路、市政排水工程", "分部分项(道路、市政排水工程)", "措施项目(道路、市政排水工程)"},
    {"市政给水、燃气、路灯工程", "分部分项(市政给水、燃气、路灯工程)", "措施项目(市政给水、燃气、路灯工程)"},
    {nullptr, "分部分项(其他)", "措施项目(其他)"},
};

// Earthworks by hand also report their labour, in the sub-item bill only.
constexpr const char* kEarthworkByHand = "人工大型土石方";
constexpr const char* kEarthworkLabour = "分部分项人工费(人工大型土石方)";

const WorksCategory& CategoryOf(const Value& gzlx) {
  const std::string name = TextOrEmpty(gzlx);
  const WorksCategory* category = kWorksCategories;
  while (category->gzlx != nullptr && name != category->gzlx) ++category;
  return *category;
}

// Consumption of electricity and water: materials under their own names,
// machine consumption items with "(机械用)" after them; each amount at the
// current price when there is one, rounded to cents per row.
struct Consumption {
  const char* table;
  const char* names;
  bool electricity;  // otherwise water
};

constexpr Consumption kConsumptions[] = {
    {"gcclb", "'电','电力','隧道内照明用电'", true},
    {"gcclb", "'水'", false},
    {"gcjxfb", "'电(机械用)','电力(机械用)','隧道内照明用电(机械用)'", true},
    {"gcjxfb", "'水(机械用)'", false},
};

void SumBill(Connection& connection, const PricingMode& mode, int qdlb) {
  std::string query = "select ";
  query += mode.bill_total;
  query +=
      " as qdhj,sum(format(qfsjb.rgf*qfsjb.sjgcl,'0.##')) as rgfhj,"
      "sum(format(qfsjb.fcf*qfsjb.sjgcl,'0.##')) as fcfhj,sum(format(";
  query += mode.main_material;
  query +=
      "*qfsjb.sjgcl,'0.##')) as zcfhj,sum(qfsjb.zgjhj_qd) as zgjhj,"
      "sum(format(qfsjb.jxf*qfsjb.sjgcl,'0.##')) as jxfhj,sum(format(qfsjb.glf*qfsjb.sjgcl,'0.##')) as glfhj,"
      "sum(format(qfsjb.lr*qfsjb.sjgcl,'0.##')) as lrhj from qfsjb where fbcch=? and qdlb=?";
  Recordset sums;
  sums.Open(connection, query, {std::int64_t{mode.level}, std::int64_t{qdlb}});
  const bool measure_bill = qdlb == 1;
  for (const BillVariable& line : kBillVariables) {
    const double value = sums.Eof() ? 0 : sums.NumberOrZero(line.column);
    if (measure_bill && std::string_view(line.measure_bill) == kProvisionalMaterial) {
      AddToFeeVariable(connection, kProvisionalMaterial, value);
    } else {
      SetFeeVariable(connection, measure_bill ? line.measure_bill : line.sub_item_bill, value);
    }
  }
}

void SumWorksCategories(Connection& connection, const PricingMode& mode) {
  SetFeeVariable(connection, kEarthworkLabour, 0);
  for (const WorksCategory& category : kWorksCategories) SetFeeVariable(connection, category.sub_item_bill, 0);
  for (const WorksCategory& category : kWorksCategories) SetFeeVariable(connection, category.measure_bill, 0);

  const std::string query = std::string("select zhys.qdlb,zhys.gzlx,") +
                            "sum(format(qfsjb.rgf*qfsjb.sjgcl,'0.##')) as rgfhj," + mode.bill_total +
                            " as bjhj from qfsjb inner join zhys on qfsjb.ysid=zhys.ysid where zhys.fbcch=? "
                            "group by zhys.qdlb,zhys.gzlx order by zhys.qdlb,zhys.gzlx";
  Recordset groups;
  groups.Open(connection, query, {std::int64_t{mode.level}});
  for (groups.MoveFirst(); !groups.Eof(); groups.MoveNext()) {
    // Every bill but the sub-item bill counts as measures; a missing bill
    // code is no sub-item bill either.
    const Value& qdlb = groups.Field("qdlb");
    const bool sub_item_bill = !IsNull(qdlb) && groups.Number("qdlb") == 0;
    const WorksCategory& category = CategoryOf(groups.Field("gzlx"));
    if (sub_item_bill && category.gzlx != nullptr && std::string_view(category.gzlx) == kEarthworkByHand) {
      AddToFeeVariable(connection, kEarthworkLabour, groups.NumberOrZero("rgfhj"));
    }
    AddToFeeVariable(connection, sub_item_bill ? category.sub_item_bill : category.measure_bill,
                     groups.NumberOrZero("bjhj"));
  }
}

void SumElectricityAndWater(Connection& connection) {
  double electricity = 0;
  double water = 0;
  Recordset sum;
  for (const Consumption& consumption : kConsumptions) {
    sum.Open(connection, std::string("select sum(format(iif(xxj=0,dj*sl,xxj*sl),'0.00')) as hj from ") +
                             consumption.table + " where mc in (" + consumption.names + ")");
    (consumption.electricity ? electricity : water) += sum.Eof() ? 0 : sum.NumberOrZero("hj");
  }
  SetFeeVariable(connection, "工程用电", electricity);
  SetFeeVariable(connection, "工程用水", water);
}

}  // namespace

void ComputeFeeVariables(Connection& connection, bool bill_pricing, double& total_labour_days) {
  const PricingMode& mode = bill_pricing ? kBillItemPricing : kSubItemPricing;
  SumBill(connection, mode, 0);
  SumBill(connection, mode, 1);
  SumWorksCategories(connection, mode);

  // Labour days count the quota sub-items in both pricing modes: a bill item
  // carries no labour days of its own.
  total_labour_days = PublishFeeVariable(
      connection, "select sum(format(zrg*sjgcl,'0.##')) as zrghj from qfsjb where fbcch=0", "zrghj", "总工日");
  connection.Execute("update gcxxb set shuzhi=? where mingc='总工日'", {NumberText(total_labour_days)});

  PublishFeeVariable(connection, "select sum(hj) as zgjhj from zgjclb where iszb=TRUE", "zgjhj", "甲供材料费");
  // Rows left out of the fee calculation are no independent fee either.
  PublishFeeVariable(connection, "select sum(sjdj*sjgcl) as sjbj from zhys where bhlb='独' and qdlb<>3", "sjbj",
                     "其中：独立费");
  SumElectricityAndWater(connection);
  CheckFigures(connection, {{"qfblb", {"blsz"}, "bllx+0=2", "fymc"}}, FigureUse::kComputed);
}

}  // namespace quillmere
