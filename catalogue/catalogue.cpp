// The data service's catalogue as a whole: the modules in declaration order.
#include <array>

#include "catalogue/modules.h"

namespace rvz::catalogue {

std::string_view fieldTypeName(FieldType t) {
  switch (t) {
    case FieldType::String: return "String";
    case FieldType::WideString: return "WideString";
    case FieldType::Integer: return "Integer";
    case FieldType::SmallInt: return "SmallInt";
    case FieldType::AutoInc: return "AutoInc";
    case FieldType::Float: return "Float";
    case FieldType::BCD: return "BCD";
    case FieldType::Boolean: return "Boolean";
    case FieldType::Date: return "Date";
    case FieldType::DateTime: return "DateTime";
    case FieldType::Memo: return "Memo";
    case FieldType::Blob: return "Blob";
    case FieldType::Word: return "Word";
    case FieldType::LargeInt: return "LargeInt";
    case FieldType::Time: return "Time";
    case FieldType::Guid: return "Guid";
    case FieldType::Bytes: return "Bytes";
    case FieldType::VarBytes: return "VarBytes";
    case FieldType::Unknown: return "Unknown";
  }
  return "Unknown";
}

std::span<const ModuleDecl> dataServiceModules() {
  static const std::array<ModuleDecl, 12> modules = {
      systemModule(),      masterDataModule(), purchasingModule(), salesModule(),
      inventoryModule(),   financeModule(),    staffModule(),      customerRelationsModule(),
      fixedAssetsModule(), productionModule(), propertyModule(),   cateringModule(),
  };
  return modules;
}

}  // namespace rvz::catalogue
