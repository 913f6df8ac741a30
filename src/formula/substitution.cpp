// Fee variables and line references substituted into formula texts.

#include "formula/formula.h"

namespace quillmere {

std::vector<std::int16_t> TiQuXH(std::string_view) { throw FormulaError("not implemented yet: TiQuXH"); }

std::string TiHuanBL(std::string_view, const std::vector<FeeVariable>&) {
  throw FormulaError("not implemented yet: TiHuanBL");
}

std::string ReplaceLineReferences(std::string_view, const std::vector<double>&) {
  throw FormulaError("not implemented yet: ReplaceLineReferences");
}

}  // namespace quillmere
