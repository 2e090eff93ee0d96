// The data service object TDatas: one per client, owning the connections
// Cn (the company database) and conAccounts (the account registry), the
// catalogue's datasets and their providers, and acting as their provider
// host.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/data/connection.h"
#include "platform/data/row_store.h"
#include "platform/desktop/screen.h"
#include "services/catalogue_dataset.h"
#include "services/provider_host.h"
#include "services/shared_connection.h"

namespace rvz::services {

// Cn's connection string as declared: the sample account set.
extern const std::string kCnDeclaredConnectionString;
// conAccounts' connection string as declared, until the creation handler
// finds the registry beside the executable.
extern const std::string kAccountsDeclaredConnectionString;
// The fixed password of the Access databases.
inline constexpr std::string_view kJetPassword = "tarqumel";

class TDatas {
 public:
  // Builds the object from its declaration under the process-wide lock,
  // takes its component name ("Datas", Datas_1, ...) and binds the report
  // datasets waiting for a connection when the name is "Datas". Opens
  // nothing.
  TDatas();
  // Unbinds the report datasets bound to Cn (once a use of Cn in progress
  // has ended), then closes and frees everything.
  ~TDatas();
  TDatas(const TDatas&) = delete;
  TDatas& operator=(const TDatas&) = delete;

  // The creation handler: points conAccounts at <folder>\/data/DoDar.mdb
  // when that file exists. `exeFolder` defaults to the home folder.
  void RemoteDataModuleCreate(const std::string& exeFolder = {});

  const std::string& componentName() const { return componentName_; }
  const std::string& companyDatabaseFile() const { return companyDatabaseFile_; }
  void setCompanyDatabaseFile(std::string path) {
    companyDatabaseFile_ = std::move(path);
    companyFileRefusal_.clear();
  }

 private:
  // Declared first, so it goes after every dataset's rows: the blocks they
  // handed to the pool go back to the system with the client's object.
  data::ReleasePooledRows releasePooledRows_;

 public:
  data::Connection Cn;
  data::Connection conAccounts;

  // Service methods of Idatas. Failures throw; GetAccounts absorbs them.
  // ConnectAct takes the use of Cn itself; the others expect the caller to
  // hold it.
  void SetFilter(const Variant& filter);
  int32_t GetAccounts();
  int32_t ConnectAct(int32_t dataBaseType, const WString& serverName, const WString& dataBaseName, const WString& user,
                     const WString& password);
  WString GetServerDate();
  WString GetServerDateTime();
  WString GetTableNames();
  int32_t CompactDatabase(const WString& dbName, const WString& dbPassword);
  int32_t BackupData(const WString& ztName);

  // The account set's Access company database string, or the SQL Server
  // link's; sets Cn's string when Cn is closed. -1 when no string is in force.
  // Takes the use of Cn itself (never while the operator is asked on the
  // screen): call it without holding useCn().
  int32_t OpenCompanyDatabase(int32_t type, const std::string& name);

  // The server's screen, where the SQL Server link asks the operator and
  // shows its dialog; none: a failing link is not offered for configuring.
  void setScreen(desktop::Screen* screen) { screen_ = screen; }

  // One use of Cn by this object: Cn is lent to report service objects, so
  // every call that may touch Cn or the datasets on it holds this (the
  // provider operations take it themselves).
  std::unique_lock<std::mutex> useCn() { return lent_->use(); }

  ProviderHost& host() { return host_; }
  // A dataset by name, letter case ignored; null when there is none.
  CatalogueDataset* findDataset(std::string_view name);
  const std::vector<std::unique_ptr<CatalogueDataset>>& datasets() const { return datasets_; }

 private:
  std::string componentName_;
  std::string companyDatabaseFile_;
  // Why the account set behind companyDatabaseFile_ / Cn's string must not
  // be opened (a name leading out of the data folder); empty when it may.
  std::string companyFileRefusal_;
  std::string cnRefusal_;
  desktop::Screen* screen_ = nullptr;
  std::shared_ptr<SharedConnection> lent_;
  std::vector<std::unique_ptr<CatalogueDataset>> datasets_;
  ProviderHost host_;
};

// The account registry path the creation handler builds from a folder:
// the folder with its trailing separator, then "/data/DoDar.mdb".
std::string accountRegistryPath(const std::string& folder);

}  // namespace rvz::services
