// Applies and backups under a full disk and a failing commit. A VFS shim,
// registered as the default, wraps the real one and refuses writes once a
// byte budget is spent, as a full file system would. After each fault the
// call has failed, the database holds none of its changes and passes its
// integrity check, and the same service object works again.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>

#include "platform/packets/materialized.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;
using packets::Cell;
using packets::RowStatus;

namespace {

// Bytes still writable; negative means no limit.
std::atomic<int64_t> g_writeBudget{-1};
// Syncs fail while set, as on a disk that reports a write error late.
std::atomic<bool> g_failSyncs{false};

struct ShimFile {
  sqlite3_file base;
  sqlite3_file* real;  // lives right after this struct
};

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_shim;
sqlite3_io_methods g_methods;

sqlite3_file* realOf(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real; }

int shimWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 off) {
  int64_t left = g_writeBudget.load();
  while (left >= 0) {
    if (left < n) return SQLITE_FULL;
    if (g_writeBudget.compare_exchange_weak(left, left - n)) break;
  }
  return realOf(f)->pMethods->xWrite(realOf(f), p, n, off);
}

int shimClose(sqlite3_file* f) {
  int rc = realOf(f)->pMethods ? realOf(f)->pMethods->xClose(realOf(f)) : SQLITE_OK;
  f->pMethods = nullptr;
  return rc;
}
int shimRead(sqlite3_file* f, void* p, int n, sqlite3_int64 o) {
  return realOf(f)->pMethods->xRead(realOf(f), p, n, o);
}
int shimTruncate(sqlite3_file* f, sqlite3_int64 s) { return realOf(f)->pMethods->xTruncate(realOf(f), s); }
int shimSync(sqlite3_file* f, int fl) {
  if (g_failSyncs) return SQLITE_IOERR_FSYNC;
  return realOf(f)->pMethods->xSync(realOf(f), fl);
}
int shimSize(sqlite3_file* f, sqlite3_int64* s) { return realOf(f)->pMethods->xFileSize(realOf(f), s); }
int shimLock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xLock(realOf(f), l); }
int shimUnlock(sqlite3_file* f, int l) { return realOf(f)->pMethods->xUnlock(realOf(f), l); }
int shimCheck(sqlite3_file* f, int* r) { return realOf(f)->pMethods->xCheckReservedLock(realOf(f), r); }
int shimControl(sqlite3_file* f, int op, void* a) { return realOf(f)->pMethods->xFileControl(realOf(f), op, a); }
int shimSector(sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); }
int shimDevice(sqlite3_file* f) { return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f)); }
int shimShmMap(sqlite3_file* f, int i, int sz, int ext, void volatile** pp) {
  return realOf(f)->pMethods->xShmMap(realOf(f), i, sz, ext, pp);
}
int shimShmLock(sqlite3_file* f, int o, int n, int fl) { return realOf(f)->pMethods->xShmLock(realOf(f), o, n, fl); }
void shimShmBarrier(sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); }
int shimShmUnmap(sqlite3_file* f, int d) { return realOf(f)->pMethods->xShmUnmap(realOf(f), d); }

int shimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  auto* s = reinterpret_cast<ShimFile*>(f);
  s->real = reinterpret_cast<sqlite3_file*>(s + 1);
  s->base.pMethods = nullptr;
  int rc = g_real->xOpen(g_real, name, s->real, flags, outFlags);
  if (s->real->pMethods) s->base.pMethods = &g_methods;
  return rc;
}
int shimDelete(sqlite3_vfs*, const char* n, int sync) { return g_real->xDelete(g_real, n, sync); }
int shimAccess(sqlite3_vfs*, const char* n, int fl, int* r) { return g_real->xAccess(g_real, n, fl, r); }
int shimFullPath(sqlite3_vfs*, const char* n, int sz, char* out) { return g_real->xFullPathname(g_real, n, sz, out); }

// Installs the shim as the default VFS once per process.
void installShim() {
  static bool done = [] {
    g_real = sqlite3_vfs_find(nullptr);
    g_shim = *g_real;
    g_shim.zName = "rvz_full_disk";
    g_shim.szOsFile = static_cast<int>(sizeof(ShimFile)) + g_real->szOsFile;
    g_shim.pNext = nullptr;
    g_shim.xOpen = shimOpen;
    g_shim.xDelete = shimDelete;
    g_shim.xAccess = shimAccess;
    g_shim.xFullPathname = shimFullPath;
    g_methods = sqlite3_io_methods{};
    g_methods.iVersion = 2;  // no memory-mapped I/O: every write goes through xWrite
    g_methods.xClose = shimClose;
    g_methods.xRead = shimRead;
    g_methods.xWrite = shimWrite;
    g_methods.xTruncate = shimTruncate;
    g_methods.xSync = shimSync;
    g_methods.xFileSize = shimSize;
    g_methods.xLock = shimLock;
    g_methods.xUnlock = shimUnlock;
    g_methods.xCheckReservedLock = shimCheck;
    g_methods.xFileControl = shimControl;
    g_methods.xSectorSize = shimSector;
    g_methods.xDeviceCharacteristics = shimDevice;
    g_methods.xShmMap = shimShmMap;
    g_methods.xShmLock = shimShmLock;
    g_methods.xShmBarrier = shimShmBarrier;
    g_methods.xShmUnmap = shimShmUnmap;
    return sqlite3_vfs_register(&g_shim, 1) == SQLITE_OK;
  }();
  ASSERT_TRUE(done);
}

// A full disk for the lifetime of the object.
struct FullDisk {
  explicit FullDisk(int64_t budget) { g_writeBudget = budget; }
  ~FullDisk() { g_writeBudget = -1; }
};

class Faults : public ServiceHome {
 protected:
  void SetUp() override {
    installShim();
    ServiceHome::SetUp();
    company({"create table Big (ID LONG, T MEMO)"});
  }

  std::string file() const { return (home_ / "d" / "Dediriva" / "Server" / "Data" / "Sample" / "DaZiva.mdb").string(); }

  // A delta inserting rows [from, from + n) of Big, each with a long text.
  Variant inserts(TDatas& d, int from, int n) {
    auto p = packets::materialize(decoded(fetch(d, u"pTmp", 0, 1, u"select * from Big").packet));
    fetch(d, u"pTmp", 0, 2);  // closed again; the command text names the table
    packets::MaterializedPacket m;
    m.columns = p.columns;
    m.attributes.delta = true;
    const std::u16string text(1000, u'x');
    for (int i = from; i < from + n; ++i)
      m.records.push_back({RowStatus::Inserted, {Cell::of(Variant(i)), Cell::of(Variant(text))}});
    return packets::packetToVariant(packets::encode(m));
  }

  static Variant apply(TDatas& d, const Variant& dlt, int32_t maxErrors, int32_t& n) {
    Variant owner;
    return d.host().AS_ApplyUpdates(u"pTmp", dlt, maxErrors, n, owner);
  }

  // Read on a raw handle of the real VFS, apart from the service objects.
  std::string raw(const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(file().c_str(), &db, SQLITE_OPEN_READONLY, g_real->zName), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    std::string out = "?";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }

  // The call fails, keeps nothing and says why; the object then works again.
  void expectAllOrNothing(int rows, int64_t budget, int32_t maxErrors, const std::string& reason) {
    TDatas d;
    Variant dlt = inserts(d, 1, rows);
    std::string why;
    int32_t n = -7;
    {
      FullDisk full(budget);
      why = failureOf([&] { apply(d, dlt, maxErrors, n); });
    }
    EXPECT_NE(why.find(reason), std::string::npos) << why;
    EXPECT_EQ(raw("select count(*) from Big"), "0");
    EXPECT_EQ(raw("pragma integrity_check"), "ok");
    apply(d, inserts(d, 1, 3), maxErrors, n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(raw("select count(*) from Big"), "3");
    EXPECT_EQ(raw("pragma integrity_check"), "ok");
  }
};

const std::string kLost = "The database ended the transaction on its own; none of its changes were kept.";

// Thousands of long rows outgrow the page cache, so pages are written
// while the transaction runs and the engine ends it on its own.
TEST_F(Faults, FullDiskInTheMiddleOfAnApplyWithoutLimit) { expectAllOrNothing(4000, 200 * 1024, -1, kLost); }
TEST_F(Faults, FullDiskInTheMiddleOfAnApplyWithALimit) { expectAllOrNothing(4000, 200 * 1024, 60, kLost); }

// A few rows stay in the cache: the disk is found full by COMMIT.
TEST_F(Faults, FailingCommit) { expectAllOrNothing(5, 0, -1, "Cannot commit"); }
TEST_F(Faults, FailingCommitWithALimit) { expectAllOrNothing(5, 0, 60, "Cannot commit"); }

// The commit is written and seen, but the disk does not confirm it: the
// call fails and says just that (nothing was rolled back), and the next
// commit is confirmed again.
TEST_F(Faults, ACommitTheDiskDoesNotConfirm) {
  TDatas d;
  int32_t n = -7;
  apply(d, inserts(d, 1, 2), -1, n);  // the log exists from here on: no header of it is written below
  ASSERT_EQ(n, 0);
  Variant dlt = inserts(d, 3, 5);
  g_failSyncs = true;
  std::string why = failureOf([&] { apply(d, dlt, -1, n); });
  g_failSyncs = false;
  EXPECT_NE(why.find("were saved, but the disk did not confirm that they are on it"), std::string::npos) << why;
  EXPECT_EQ(why.find("rolled back"), std::string::npos) << why;
  EXPECT_EQ(raw("select count(*) from Big"), "7");
  Variant more = inserts(d, 8, 3);
  apply(d, more, -1, n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(raw("select count(*) from Big"), "10");
  EXPECT_EQ(raw("pragma integrity_check"), "ok");
}

class BackupFaults : public Faults {
 protected:
  std::vector<std::filesystem::path> backupFiles() {
    std::vector<std::filesystem::path> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(home_))
      if (e.path().string().find("备份数据") != std::string::npos) out.push_back(e.path());
    return out;
  }
};

TEST_F(BackupFaults, TheScriptIsOwnerOnly) {
  company({"insert into appuser (ID, uCode, uName, uPassword) values (1, 'u1', 'n', 'secret')"});
  TDatas d;
  ASSERT_EQ(d.BackupData(u""), 1);
  auto files = backupFiles();
  ASSERT_EQ(files.size(), 1u);
  struct stat st {};
  ASSERT_EQ(::stat(files[0].c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A file size limit stands in for a full file system: writes past it fail
// with EFBIG (SIGXFSZ is ignored meanwhile).
TEST_F(BackupFaults, AFullDiskLeavesNoPartialScript) {
  std::vector<std::string> rows;
  for (int i = 1; i <= 200; ++i)
    rows.push_back("insert into appuser (ID, uCode, uName, uPassword) values (" + std::to_string(i) + ", 'u" +
                   std::to_string(i) + "', 'name', 'secret')");
  company(rows);
  TDatas d;
  ASSERT_EQ(d.BackupData(u""), 1);  // folders and settings made while there is room
  for (auto& f : backupFiles()) std::filesystem::remove(f);
  auto old = signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 512;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int32_t result = d.BackupData(u"");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(backupFiles().empty());
  EXPECT_EQ(raw("pragma integrity_check"), "ok");
  // Room again: the same object backs up.
  EXPECT_EQ(d.BackupData(u""), 1);
  EXPECT_EQ(backupFiles().size(), 1u);
}

}  // namespace
