// Building the data service object from the catalogue, its creation
// handler and its component name.
#include "services/dms.h"

#include <filesystem>

#include "catalogue/declaration.h"
#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/files/files.h"
#include "platform/text/text.h"
#include "services/command_watch.h"
#include "services/live_objects.h"

namespace rvz::services {

const std::string kCnDeclaredConnectionString =
    "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;"
    "Data Source=D:\\Dediriva\\Server\\Data\\Sample\\DaZiva.mdb;Mode=Share Deny None;"
    "Persist Security Info=False;Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
    "Jet OLEDB:Database Password=tarqumel;Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;"
    "Jet OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;"
    "Jet OLEDB:New Database Password=\"\";Jet OLEDB:Create System Database=False;"
    "Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;"
    "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False;";

const std::string kAccountsDeclaredConnectionString =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\DEdiriva\\Server\\Data\\DoDar.mdb;Persist Security Info=False";

std::string accountRegistryPath(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
  return path + "/data/DoDar.mdb";
}

TDatas::TDatas() {
  std::lock_guard g(LiveObjects::instance().lock());
  Cn.setConnectionString(kCnDeclaredConnectionString);
  conAccounts.setConnectionString(kAccountsDeclaredConnectionString);
  for (data::Connection* c : {&Cn, &conAccounts}) {
    c->setLoginPrompt(false);
    c->setShareMode(data::ShareMode::DenyNone);
  }
  Cn.setWillExecute(CnWillExecute);
  Cn.setOpenCheck([this] {
    if (!cnRefusal_.empty()) throw data::DataError::component(data::kErrBadConnectionString, cnRefusal_);
  });
  for (const auto& module : catalogue::dataServiceModules())
    for (const auto& decl : module.datasets) {
      data::Connection& cn = decl.connection == catalogue::Connection::Cn ? Cn : conAccounts;
      auto ds = std::make_unique<CatalogueDataset>(decl, cn);
      host_.add(std::make_unique<Provider>(std::string(decl.provider), *ds, decl.updateMode));
      datasets_.push_back(std::move(ds));
    }
  lent_ = std::make_shared<SharedConnection>(Cn);
  host_.setUseGuard([this] { return lent_->use(); });
  componentName_ = LiveObjects::instance().acquireName("Datas", lent_);
  LiveObjects::instance().resolvePending();
}

TDatas::~TDatas() {
  std::lock_guard g(LiveObjects::instance().lock());
  lent_->withdraw();
  for (auto& ds : datasets_) ds->close();
  Cn.close();
  conAccounts.close();
  LiveObjects::instance().releaseName(componentName_);
}

void TDatas::RemoteDataModuleCreate(const std::string& exeFolder) {
  std::string folder = exeFolder.empty() ? files::homeFolder().string() : exeFolder;
  std::string path = accountRegistryPath(folder);
  std::error_code ec;
  if (std::filesystem::is_regular_file(files::resolvePath(path), ec))
    conAccounts.setConnectionString(data::jetConnectionString(path, kJetPassword));
}

CatalogueDataset* TDatas::findDataset(std::string_view name) {
  WString wanted = text::utf8ToWide(name);
  for (auto& ds : datasets_)
    if (text::equalsNoCase(text::utf8ToWide(ds->name()), wanted)) return ds.get();
  return nullptr;
}

}  // namespace rvz::services
