// The modules of the data service's catalogue, one declaration file each.
#pragma once

#include "catalogue/declaration.h"

namespace rvz::catalogue {

ModuleDecl systemModule();
ModuleDecl masterDataModule();
ModuleDecl purchasingModule();
ModuleDecl salesModule();
ModuleDecl inventoryModule();
ModuleDecl financeModule();
ModuleDecl staffModule();
ModuleDecl customerRelationsModule();
ModuleDecl fixedAssetsModule();
ModuleDecl productionModule();
ModuleDecl propertyModule();
ModuleDecl cateringModule();

}  // namespace rvz::catalogue
