// Bill item unit price: one bill item priced on demand from the sub-items
// the host lists.
//
// The bill item's mapping rows, fee row and material list are rebuilt in
// this order:
//  (1) a fresh fee row from the estimate row, every amount 0;
//  (2) one mapping row per listed sub-item, with the sub-item's quantity per
//      unit of the bill item (its quantity over the bill item's, or its own
//      quantity when the host says so), copied onto the sub-items' fee rows;
//  (3) the fee parts per unit: each sub-item's figure times its ratio;
//  (4) the materials per unit from the sub-items' analysis rows, marked at a
//      provisional price where the list says so, and summed into ordinary,
//      main and provisional-price material amounts;
//  (5) the unit price: the sum of the parts, or, with the fee programme, the
//      bill-item lines of the programme run on the bill item's sums in the
//      working copy temp_qfsjb and copied back;
//  (6) the unit price and provisional-price amount read back for the host.
// (3) and (5) read the ratios of (2); (5) reads the material amounts of (4).

#include "calc/unitprice/bill_item_price.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "calc/resources/material_matching.h"
#include "calc/unitprice/bill_item_sums.h"
#include "calc/unitprice/fee_programme.h"
#include "db/recordset.h"
#include "db/tables.h"
#include "db/value.h"

namespace quillmere {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<std::string_view> SplitAtCommas(std::string_view text) {
  std::vector<std::string_view> pieces;
  for (size_t start = 0;;) {
    const size_t comma = text.find(',', start);
    pieces.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return pieces;
    start = comma + 1;
  }
}

// A piece of the plain sub-item list read as the number it begins with,
// blanks anywhere ignored; 0 when it begins with no number.
Value LeadingNumber(std::string_view piece) {
  std::string text;
  for (char c : piece) {
    if (!IsBlank(c)) text += c;
  }
  size_t end = 0;
  if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
  const size_t digits_from = end;
  while (end < text.size() && IsDigit(text[end])) ++end;
  if (end < text.size() && text[end] == '.') {
    for (++end; end < text.size() && IsDigit(text[end]);) ++end;
  }
  if (end == digits_from || (end == digits_from + 1 && text[digits_from] == '.')) return Value{std::int64_t{0}};
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    size_t exponent = end + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    if (exponent < text.size() && IsDigit(text[exponent])) {
      end = exponent;
      while (end < text.size() && IsDigit(text[end])) ++end;
    }
  }
  const double number = std::strtod(text.substr(0, end).c_str(), nullptr);
  if (!std::isfinite(number)) throw Error("Overflow");
  // An id stays an integer, so that it matches the estimate rows' ids.
  if (number == std::trunc(number) && std::fabs(number) < 9e15) return Value{static_cast<std::int64_t>(number)};
  return Value{number};
}

// The sub-item list of the fee-programme mode: whole numbers separated by
// commas, blanks allowed around them. Anything else stops the pricing.
std::vector<std::int64_t> SubItemIds(const std::string& list) {
  std::vector<std::int64_t> ids;
  for (std::string_view piece : SplitAtCommas(list)) {
    while (!piece.empty() && IsBlank(piece.front())) piece.remove_prefix(1);
    while (!piece.empty() && IsBlank(piece.back())) piece.remove_suffix(1);
    const bool plus = !piece.empty() && piece.front() == '+';
    if (plus) piece.remove_prefix(1);
    std::int64_t id = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), id);
    const bool whole_number =
        !piece.empty() && IsDigit(piece.back()) && (IsDigit(piece.front()) || (!plus && piece.front() == '-'));
    if (!whole_number || error != std::errc() || end != piece.data() + piece.size()) {
      throw Error("the sub-item list \"" + list + "\" is not a list of estimate row ids separated by commas");
    }
    ids.push_back(id);
  }
  return ids;
}

void MapSubItems(Connection& c, const Params& bill_item, const std::string& subitems, bool fee_programme) {
  if (!fee_programme) {
    // Every piece gives a row, an empty or unreadable one a row for estimate
    // row 0, and an id listed twice counts twice.
    for (std::string_view piece : SplitAtCommas(subitems)) {
      Params params = bill_item;
      params.Add(LeadingNumber(piece));
      c.Execute("insert into qddyb(ysid,fb1,fb2,fb3,fb4,fb5,sjgcl,sjgcl_qd) values(?,0,0,0,0,:id,0,0)", params);
    }
    return;
  }
  // Only existing estimate rows, each once.
  Params params = bill_item;
  std::string marks;
  for (std::int64_t id : SubItemIds(subitems)) {
    marks += marks.empty() ? "?" : ",?";
    params.Add(id);
  }
  c.Execute(
      "insert into qddyb(ysid,fb1,fb2,fb3,fb4,fb5,sjgcl,sjgcl_qd) select ysid,0,0,0,0,:id,0,0 from zhys "
      "where ysid in(" +
          marks + ")",
      params);
}

// The material amounts of the bill item per unit, by material category:
// which categories count, and where the amount goes on the fee row.
struct MaterialSum {
  const char* categories;
  const char* assignment;
};
constexpr MaterialSum kMaterialSums[] = {
    {"cllb=0 or cllb=2", "fcf_qd=qdclbtemp.clf"},
    {"cllb=1 or cllb=3", "zcf_qd=qdclbtemp.clf"},
    {"cllb=2 or cllb=3", "zgj_qd=qdclbtemp.clf,zgjhj_qd=format(qdclbtemp.clf*qfsjb.sjgcl,'0.##')"},
};

void ListMaterials(Connection& c, const Params& bill_item) {
  c.Execute("delete from qdclb where ysid=:id", bill_item);
  c.Execute(
      "insert into qdclb(ysid,bh,mc,dw,dj,sl,hj,xxj,xhj,cllb) select qddyb.fb5,fxclb.bh,fxclb.mc,fxclb.dw,fxclb.dj,"
      "sum(format(fxclb.sl*qddyb.sjgcl_qd,'0.####')),0,fxclb.xxj,0,iif(fxclb.cllb='主材',1,0) "
      "from fxclb inner join qddyb on fxclb.ysid=qddyb.ysid where fxclb.sl<>0 and fxclb.dw<>'%' and qddyb.fb5=:id "
      "group by qddyb.fb5,fxclb.bh,fxclb.mc,fxclb.dw,fxclb.dj,fxclb.xxj,fxclb.cllb",
      bill_item);
  c.Execute("update qdclb set hj=format(dj*sl,'0.##'),xhj=format(iif(xxj=0,dj*sl,xxj*sl),'0.##') where ysid=:id",
            bill_item);
  // Provisional price: a listed entry that is not owner-supplied, with the
  // material's code, unit and name (built as the bill material summary of
  // the whole project builds it), at exactly its effective price.
  c.Execute(std::string("update qdclb set cllb=iif(qdclb.cllb=1,3,2) from qfsjb, zgjclb "
                        "where qdclb.ysid=qfsjb.ysid and qdclb.bh=zgjclb.bh and qdclb.mc=") +
                ListedName("zgjclb") +
                " and qdclb.dw=zgjclb.dw and iif(qdclb.xxj=0,qdclb.dj=zgjclb.dj,qdclb.xxj=zgjclb.dj)"
                " and (zgjclb.iszb is null or zgjclb.iszb=false) and qdclb.ysid=:id",
            bill_item);
  for (const auto& [categories, assignment] : kMaterialSums) {
    c.Execute(std::string("update qfsjb set ") + assignment + " from (select ysid,sum(xhj) as clf from qdclb where (" +
                  categories +
                  ") and ysid=:id group by ysid) as qdclbtemp where qfsjb.ysid=qdclbtemp.ysid and "
                  "qfsjb.ysid=:id",
              bill_item);
  }
}

void PriceByProgramme(Connection& c, const Params& bill_item) {
  c.Execute(SetBillItemsFromDesjb("qfsjb", kEveryComponent, "qfsjb.ysid=:id",
                                  SubItemSumsAsDesjb(kEveryComponent, "qddyb.fb5=:id")),
            bill_item);
  // The material amounts at current prices are the summed base amounts plus
  // differences; the main material replaces the material list's.
  c.Execute("update qfsjb set fcf=fcjj+fcjc,zcf=zcjj+zcjc,zcf_qd=zcjj+zcjc where fbcch=5 and ysid=:id", bill_item);
  c.Execute("delete from temp_qfsjb where ysid=:id", bill_item);
  InsertAllColumns(c, "temp_qfsjb", "qfsjb", "where ysid=:id", bill_item);

  for (const FeeLine& line : ReadFeeProgramme(c)) {
    const std::string fee = FeeColumn(line.code);
    // The bill item's fee summed from its sub-items' working rows: it finds
    // the bill item only when one of them has a working row, and a fee code
    // that is no column of the working rows fails here.
    Recordset sums;
    sums.Open(c,
              "select qddyb.fb5,sum(format(" + fee +
                  "*bbb.sjgcl_qd,'0.##')) as fy from qddyb inner join temp_qfsjb bbb on qddyb.ysid=bbb.ysid "
                  "where fb5=:id group by qddyb.fb5",
              bill_item);
    for (std::int64_t i = 0, n = sums.RecordCount(); i < n; ++i) {
      Params params;
      params.Set("fb5", sums.Field("fb5"));
      RunFeeLineStatement(
          c, line, "update temp_qfsjb set " + fee + "=(" + line.bill_item + ") where fbcch=5 and ysid=:fb5", params);
    }
  }
  // The working row's total was inserted as 0 and no line computes it, so the
  // total is formed here, rounded as the whole-project run rounds it.
  c.Execute(CopyBackWorkingRows("format(bbb.zhdj*aaa.sjgcl,'0.00')", "aaa.ysid=:id"), bill_item);
}

}  // namespace

void PriceBillItem(Connection& c, std::int32_t bill_item_id, const std::string& subitems, bool own_quantities,
                   bool fee_programme, double& unit_price, double& provisional) {
  Params bill_item;
  bill_item.Set("id", std::int64_t{bill_item_id});

  c.Execute("delete from qfsjb where ysid=:id", bill_item);
  c.Execute(
      "insert into qfsjb (sjxh,ysid,zrg,rgjj,rgjc,rgf,zcjj,zcjc,zcf,fcjj,fcjc,fcf,jxjj,jxjc,jxf,glffl,lrfl,fxfl,glf,lr,"
      "fxf,zhdj,sjgcl,zhbj,jsjs,fbcch,zcf_qd,zgj_qd,zgjhj_qd,fcf_qd,sjgcl_qd,qdlb) "
      "select sjxh,ysid,0,0,0,0,0,0,0,0,0,0,0,0,0,glffl,lrfl,fxfl,0,0,0,0,yssl,0,jsjs,fbcch,0,0,0,0,0,qdlb "
      "from zhys where ysid=:id",
      bill_item);

  c.Execute("delete from qddyb where fb5=:id", bill_item);
  MapSubItems(c, bill_item, subitems, fee_programme);
  c.Execute(
      "update qddyb set sjgcl=zhys.yssl,sjgcl_qd=zhys.yssl from zhys where qddyb.ysid=zhys.ysid and qddyb.fb5=:id",
      bill_item);
  // A bill item of quantity 0 gives every sub-item the ratio 0.
  if (own_quantities) {
    c.Execute("update qddyb set sjgcl_qd=0 from zhys where qddyb.fb5=zhys.ysid and zhys.yssl=0 and qddyb.fb5=:id",
              bill_item);
  } else {
    c.Execute(
        "update qddyb set sjgcl_qd=format(iif(zhys.yssl=0,0,qddyb.sjgcl/zhys.yssl),'0.######') from zhys "
        "where qddyb.fb5=zhys.ysid and qddyb.fb5=:id",
        bill_item);
  }
  c.Execute(
      "update qfsjb set sjgcl=qddyb.sjgcl,sjgcl_qd=qddyb.sjgcl_qd from qddyb where qfsjb.ysid=qddyb.ysid "
      "and qddyb.fb5=:id",
      bill_item);
  if (fee_programme) {
    c.Execute(
        "update temp_qfsjb as qfsjb set sjgcl=qddyb.sjgcl,sjgcl_qd=qddyb.sjgcl_qd from qddyb "
        "where qfsjb.ysid=qddyb.ysid and qddyb.fb5=:id",
        bill_item);
  }

  c.Execute(SetBillItemsFromDesjb("qfsjb", kFeeParts, "qfsjb.ysid=:id", SubItemSumsAsDesjb(kFeeParts, "qddyb.fb5=:id")),
            bill_item);

  ListMaterials(c, bill_item);

  if (fee_programme) {
    PriceByProgramme(c, bill_item);
  } else {
    c.Execute(
        "update qfsjb set zhdj=rgf+fcf+jxf+glf+lr+zcf_qd,zhbj=format((rgf+fcf+zcf+jxf+glf+lr+zcf_qd)*sjgcl,'0.##') "
        "where ysid=:id",
        bill_item);
  }

  Recordset result;
  result.Open(c, "select zhdj,zgj_qd from qfsjb where ysid=:id", bill_item);
  if (result.RecordCount() > 0) {
    unit_price = IsNull(result.Field("zhdj")) ? 0 : ToNumber(result.Field("zhdj"));
    provisional = IsNull(result.Field("zgj_qd")) ? 0 : ToNumber(result.Field("zgj_qd"));
  }
}

}  // namespace quillmere
