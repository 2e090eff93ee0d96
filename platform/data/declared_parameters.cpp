// Declared parameters: the dialect's declarations in the data layer's
// parameter kinds (a Jet Long is an Integer parameter, Text(20) a wide
// string of 20, Currency a currency parameter ...).
#include "platform/data/declared_parameters.h"

#include "platform/data/jet/jet_result_types.h"

namespace rvz::data {
namespace {

using jet::JetType;

void describe(Parameter& p, const jet::ColumnType& t) {
  switch (t.type) {
    case JetType::Text:
      p.dataType = FieldKind::WideString;
      p.size = t.size;
      break;
    case JetType::Memo: p.dataType = FieldKind::Memo; break;
    case JetType::Boolean: p.dataType = FieldKind::Boolean; break;
    case JetType::Byte: p.dataType = FieldKind::Word; break;
    case JetType::Integer: p.dataType = FieldKind::SmallInt; break;
    case JetType::Long: p.dataType = FieldKind::Integer; break;
    case JetType::Single:
    case JetType::Double: p.dataType = FieldKind::Float; break;
    case JetType::Currency:
      p.dataType = FieldKind::Currency;
      p.precision = 19;
      p.scale = 4;
      break;
    case JetType::Decimal:
      p.dataType = FieldKind::BCD;
      p.precision = t.precision;
      p.scale = t.scale;
      break;
    case JetType::DateTime: p.dataType = FieldKind::DateTime; break;
    case JetType::Binary:
      p.dataType = FieldKind::VarBytes;
      p.size = t.size;
      break;
    case JetType::LongBinary: p.dataType = FieldKind::Blob; break;
    case JetType::Guid:
      p.dataType = FieldKind::Guid;
      p.size = 38;
      break;
    case JetType::Unknown:
    case JetType::Null:
    case JetType::Parameter: p.dataType = FieldKind::Unknown; break;
  }
}

}  // namespace

std::vector<Parameter> declaredParameters(std::string_view commandText) {
  std::vector<Parameter> out;
  for (const jet::DeclaredParameter& d : jet::declaredParameters(commandText)) {
    Parameter p;
    p.name = d.name;
    p.direction = ParamDirection::Input;
    describe(p, d.type);
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace rvz::data
