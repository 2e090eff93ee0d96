// The service methods of Idatas besides the provider protocol: filters,
// account sets, the server's clock, the table list, backup and compaction.
#include <cstdio>
#include <filesystem>

#include "link/link_settings.h"
#include "link/sql_server_link.h"
#include "maintenance/backup_script.h"
#include "maintenance/compaction.h"
#include "maintenance/table_listing.h"
#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/files/files.h"
#include "platform/oplog/operations_log.h"
#include "platform/remoting/error_info.h"
#include "services/account_set_file.h"
#include "services/backup_folder.h"
#include "services/dms.h"
#include "services/filter_request.h"

namespace rvz::services {

namespace {

std::string homeWithSeparator() {
  std::string h = files::homeFolder().string();
  if (h.empty() || (h.back() != '/' && h.back() != '\\')) h += '/';
  return h;
}

}  // namespace

void TDatas::SetFilter(const Variant& filter) {
  FilterRequest r = readFilterRequest(filter);
  CatalogueDataset* ds = findDataset(r.dataset);
  if (!ds) throwComponentNotFound(r.dataset);
  ds->query().setFilter(r.expression);
}

int32_t TDatas::GetAccounts() {
  int32_t result = -1;
  try {
    CatalogueDataset* ds = findDataset("adsAccounts");
    ds->close();
    ds->open();
    if (!ds->query().eof()) result = 0;
  } catch (const std::exception&) {
    // Absorbed: no registry, or one that cannot be read, means no account set.
  }
  return result;
}

int32_t TDatas::OpenCompanyDatabase(int32_t type, const std::string& name) {
  std::string cs;
  std::string refusal;
  if (type == 0) {
    AccountSetFile f = accountSetFile(homeWithSeparator(), name);
    companyDatabaseFile_ = f.file;
    companyFileRefusal_ = f.refusal;
    refusal = f.refusal;
    cs = data::jetConnectionString(f.file, kJetPassword);
  } else {
    // The flow may wait for the operator on the server's screen: it takes
    // the use of Cn only for the assignment and the open, so that report
    // service objects borrowing Cn are not held while a question stands.
    link::LinkConnection cn{[this](const std::string& s) {
                              auto use = useCn();
                              Cn.setConnectionString(s);
                              cnRefusal_.clear();
                            },
                            [this] {
                              auto use = useCn();
                              Cn.open();
                            }};
    cs = link::OpenSqlServerLink(cn, link::linkSettingsPath(), screen_);
  }
  auto use = useCn();
  if (!Cn.isOpen()) {
    Cn.setConnectionString(cs);
    cnRefusal_ = refusal;
  }
  return cs.empty() ? -1 : 0;
}

int32_t TDatas::ConnectAct(int32_t dataBaseType, const WString&, const WString& dataBaseName, const WString&,
                           const WString&) {
  const std::string name = text::wideToUtf8(dataBaseName);
  const int32_t result = OpenCompanyDatabase(dataBaseType, name);
  oplog::notice("account set chosen", {{"set", name}, {"type", std::to_string(dataBaseType)}});
  return result;
}

WString TDatas::GetServerDate() {
  DateTime t = DateTime::now();
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  return text::utf8ToWide(buf);
}

WString TDatas::GetServerDateTime() {
  DateTime t = DateTime::now();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text::utf8ToWide(buf);
}

WString TDatas::GetTableNames() {
  std::string out;
  for (const auto& n : maintenance::ListTableNames(Cn)) out += n + "|";
  if (!out.empty()) out.pop_back();
  return text::utf8ToWide(out);
}

int32_t TDatas::CompactDatabase(const WString&, const WString&) {
  Cn.close();
  if (!companyFileRefusal_.empty())
    throw data::DataError::component(data::kErrBadConnectionString, companyFileRefusal_);
  maintenance::CompactAccessDatabase(companyDatabaseFile_, kJetPassword);
  return 1;
}

int32_t TDatas::BackupData(const WString&) {
  int32_t result = 1;
  std::string folder = backupFolder();
  std::vector<std::string> lines;
  CatalogueDataset* tmp = findDataset("Tmp");
  auto reopen = [tmp](const std::string& sql) {
    tmp->close();
    tmp->query().setCommandText(sql);
    tmp->open();
  };
  for (const auto& table : maintenance::ListTableNames(Cn))
    maintenance::DumpTableScript(tmp->query(), reopen, table, lines);
  DateTime t = DateTime::now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  // Written aside and renamed, so that a crash never leaves a truncated
  // script under the final name.
  std::filesystem::path target = files::resolvePath(folder + stamp + "_备份数据.txt");
  std::filesystem::path aside = target;
  aside += ".part";
  try {
    // The script holds the users' passwords: owner-only.
    files::writePrivateFile(aside, maintenance::scriptFileContent(lines));
    std::filesystem::rename(aside, target);
  } catch (const std::exception&) {
    std::error_code ec;
    std::filesystem::remove(aside, ec);
    result = 0;  // a script that cannot be saved is reported through the result
  }
  return result;
}

}  // namespace rvz::services
