// Building the sample home: folders, the account registry, the company
// database from the schema and the sample plans, and its copy behind D:.
#include "client/sample/sample_home.h"

#include <system_error>

#include "catalogue/schema.h"
#include "client/sample/sample_model.h"
#include "platform/data/connection.h"
#include "platform/data/connection_string.h"
#include "platform/data/pg/pg_database.h"
#include "platform/files/files.h"
#include "link/link_settings.h"
#include "link/sql_server_link.h"
#include "platform/text/text.h"

namespace rvz::client {

namespace fs = std::filesystem;

namespace {

constexpr const char* kJetPassword = "tarqumel";

void makeFolder(const fs::path& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) throw files::FileError("Cannot create the folder '" + dir.string() + "': " + ec.message());
  if (!fs::is_directory(dir, ec))
    throw files::FileError("Cannot create the folder '" + dir.string() + "': a file of that name is in the way");
}

std::string connectionStringFor(const fs::path& file) {
  data::ConnectionString cs;
  cs.set("Provider", "Microsoft.Jet.OLEDB.4.0");
  cs.set("Data Source", file.string());
  cs.set("Jet OLEDB:Database Password", kJetPassword);
  return cs.toString();
}

void removeQuietly(const fs::path& file) {
  std::error_code ec;
  fs::remove(file, ec);
}

// The side files SQLite keeps beside a database.
void removeSideFiles(const fs::path& file) {
  for (const char* suffix : {"-wal", "-shm", "-journal"}) removeQuietly(fs::path(file.string() + suffix));
}

// Builds a database at `target`: into a file beside it first, which then
// replaces the target, so that a build that fails leaves the old database.
template <class Fill>
void buildDatabase(const fs::path& target, Fill&& fill) {
  const fs::path aside = target.string() + ".part";
  removeQuietly(aside);
  removeSideFiles(aside);
  try {
    files::writeFile(aside, "");  // an empty file is an empty database
    data::Connection cn(connectionStringFor(aside));
    fill(cn);
    cn.close();
  } catch (...) {
    removeQuietly(aside);
    removeSideFiles(aside);
    throw;
  }
  removeSideFiles(target);
  std::error_code ec;
  fs::rename(aside, target, ec);
  if (ec) {
    removeQuietly(aside);
    throw files::FileError("Cannot replace '" + target.string() + "': " + ec.message());
  }
}

void copyDatabase(const fs::path& from, const fs::path& to) {
  const fs::path aside = to.string() + ".part";
  std::error_code ec;
  fs::copy_file(from, aside, fs::copy_options::overwrite_existing, ec);
  if (!ec) {
    removeSideFiles(to);
    fs::rename(aside, to, ec);
  }
  if (ec) {
    removeQuietly(aside);
    throw files::FileError("Cannot write '" + to.string() + "': " + ec.message());
  }
}

void registerAccountSet(data::Connection& cn, const std::string& name, const std::string& caption, int type,
                        const std::string& server) {
  std::vector<data::Parameter> account = {
      data::Parameter::of(Variant::bstrUtf8(name)),
      data::Parameter::of(Variant::bstrUtf8(caption)),
      data::Parameter::of(Variant::i4(type)),
      data::Parameter::of(Variant::bstrUtf8(server)),
      data::Parameter::of(Variant::date(client::sample::SampleModel::date(2008, 1, 1))),
  };
  cn.execute("INSERT INTO Act_DODar (ActName, ActCaption, ActType, ServerName, CreateDate) VALUES (?, ?, ?, ?, ?)",
             account);
}

void fillRegistry(data::Connection& cn, const ServerAccountSet* server) {
  data::Transaction t(cn);
  for (const auto& statement : catalogue::registrySchemaStatements()) cn.execute(statement);
  registerAccountSet(cn, "Sample", "示例账套", 0, "");
  if (server) {
    const auto cs = data::ConnectionString::parse(server->connectionString);
    registerAccountSet(cn, data::pg::databaseOf(cs), server->caption, 1, cs.value("Data Source"));
  }
  std::string picture = client::sample::samplePicture();
  std::vector<data::Parameter> version = {
      data::Parameter::of(Variant::bstrUtf8("RoVezevu")),
      data::Parameter::of(Variant::bstrUtf8("RoVezevu")),
      data::Parameter::of(Variant::bstrUtf8("5.0.0")),
      data::Parameter::of(Variant::array(SafeArray::bytes(std::vector<uint8_t>(picture.begin(), picture.end())))),
      data::Parameter::of(Variant::bstrUtf8("Qorvane进销存服务器")),
      data::Parameter::of(Variant::null()),
      data::Parameter::of(Variant::r8(5)),
      data::Parameter::of(Variant::r8(0)),
  };
  cn.execute(
      "INSERT INTO VersionInfor (sName, sFileName, sVersion, pict, S1, S2, F1, F2) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
      version);
  t.commit();
}

void buildHome(const fs::path& dir, int rows, const ServerAccountSet* server) {
  const fs::path home = fs::absolute(dir).lexically_normal();
  const fs::path data = home / "data";
  const fs::path sample = data / "Sample";
  // Where the server will look for Cn's declared sample path: drive D: as
  // the environment maps it, names matched without regard to case.
  const fs::path driveD = files::resolvePath("Dediriva\\Server\\Data\\Sample", files::driveFolder('D', home));
  // The link settings' form of the string, made first: a value that the
  // settings cannot carry is refused before anything is written.
  std::string linkString;
  if (server) {
    const auto cs = data::ConnectionString::parse(server->connectionString);
    const std::string user = cs.value("User ID");
    const bool trusted = user.empty() || text::equalsNoCaseAscii(cs.value("Integrated Security"), "SSPI");
    linkString =
        link::BuildSqlServerConnectionString(cs.value("Data Source"), data::pg::databaseOf(cs), trusted ? "" : user,
                                             trusted ? "" : cs.value("Password"), trusted, false);
    buildServerSampleDatabase(server->connectionString, rows);
  }
  makeFolder(sample);
  makeFolder(driveD);

  buildDatabase(data / "DoDar.mdb", [server](data::Connection& cn) { fillRegistry(cn, server); });
  const fs::path company = sample / "DaZiva.mdb";
  buildDatabase(company, [rows](data::Connection& cn) { writeSampleCompany(cn, rows); });
  copyDatabase(company, driveD / "DaZiva.mdb");
  if (server) {
    // The server reads its link settings from RoVezevu.ini in its home.
    link::OpenLinkSettings settings((home / link::kSettingsFileName).string());
    if (!link::SaveLinkSettings(linkString, link::kLinkSection))
      throw files::FileError("Cannot write the link settings into '" + (home / link::kSettingsFileName).string() + "'");
  }
}

}  // namespace

void writeSampleCompany(data::Connection& cn, int rows) {
  using namespace client::sample;
  const std::vector<std::string> ddl = catalogue::companySchemaStatements();
  const std::vector<TableDef> tables = readSchemaTables(ddl);
  const SampleModel model(rows);
  data::Transaction t(cn);
  for (const auto& statement : ddl) cn.execute(statement);
  TableFiller filler(cn, model, tables);
  for (auto plans : {systemPlans(model), masterPlans(model), billPlans(model), staffPlans(model), otherPlans(model)})
    for (const auto& plan : plans) filler.fill(plan);
  filler.fillRemaining();
  t.commit();
}

bool buildServerSampleDatabase(const std::string& connectionString, int rows) {
  const auto cs = data::ConnectionString::parse(connectionString);
  const bool made = data::pg::createDatabaseIfMissing(cs);
  try {
    data::Connection cn(connectionString);
    for (const auto& t : cn.tables())
      if (t.type == "TABLE")
        throw data::DataError::component(data::kErrDatabaseExists, "The database '" + data::pg::databaseOf(cs) +
                                                                       "' already holds tables (" + t.name +
                                                                       "); the sample is written only into "
                                                                       "a new or empty database.");
    writeSampleCompany(cn, rows);
    cn.close();
  } catch (...) {
    if (made) {
      try {
        data::pg::dropDatabase(cs);
      } catch (const std::exception&) {
        // The first failure is the one to report.
      }
    }
    throw;
  }
  return made;
}

void buildSampleHome(const fs::path& dir, int rows) { buildHome(dir, rows, nullptr); }

void buildSampleHome(const fs::path& dir, int rows, const ServerAccountSet& server) { buildHome(dir, rows, &server); }

}  // namespace rvz::client
