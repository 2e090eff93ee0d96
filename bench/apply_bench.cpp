// The write path: 10 000 updates, and 10 000 inserts, in one delta applied
// through the data service (the client dataset pTmp over "select * from G",
// the resolver writing one statement per record, the command watch on and
// its entries handed to the activity log on a main thread), against the
// same statement texts translated and prepared once and stepped with the
// SQLite C API in one transaction, bound with the same values
// (apply_update_vs_sqlite, apply_insert_vs_sqlite). The peer takes its
// texts from the resolver itself, so both sides run identical SQL. Each
// figure is the median of paired, interleaved runs (paired_timing.h); the
// table is put back to the same state, untimed, before every run.
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/paired_timing.h"
#include "host/activity_log.h"
#include "host/log_sink.h"
#include "platform/data/jet/jet_dialect.h"
#include "platform/files/files.h"
#include "platform/packets/materialized.h"
#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"
#include "services/command_watch.h"
#include "services/dms.h"
#include "tests/support/scratch_folder.h"

using namespace rvz;
using packets::Cell;
using packets::RowStatus;

namespace {

constexpr int kRows = 10000;
constexpr int kPairs = 5;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "apply_bench: %s\n", what.c_str());
  std::exit(1);
}

// One row of G as both sides write it.
struct Row {
  int32_t id;
  std::string mc, bz;
  int32_t sl;
  double dj;
};

Row original(int i) {
  return {i, "名称 " + std::to_string(i), "remark for row " + std::to_string(i), i % 500, i * 0.5};
}
Row changed(int i) {
  Row r = original(i);
  r.mc = "改名 " + std::to_string(i);
  return r;
}

// The peer's connection: also puts the table back between runs.
class RawSqlite {
 public:
  explicit RawSqlite(const std::string& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) fail(sqlite3_errmsg(db_));
    sqlite3_busy_timeout(db_, 10000);
    data::jet::registerFunctions(db_);
  }
  ~RawSqlite() { sqlite3_close(db_); }

  void exec(const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::string e = err ? err : "?";
      sqlite3_free(err);
      fail(sql + ": " + e);
    }
  }

  // Empties G, then (when `filled`) writes the original rows.
  void reset(bool filled) {
    exec("BEGIN; DELETE FROM G;");
    if (filled) {
      sqlite3_stmt* st = prepare("INSERT INTO G (ID, MC, SL, DJ, BZ) VALUES (?, ?, ?, ?, ?)");
      for (int i = 1; i <= kRows; ++i) {
        bindRow(st, {"ID", "MC", "SL", "DJ", "BZ"}, original(i));
        if (sqlite3_step(st) != SQLITE_DONE) fail(sqlite3_errmsg(db_));
        sqlite3_reset(st);
      }
      sqlite3_finalize(st);
    }
    exec("COMMIT");
  }

  // The statement text once, then every row through it, in one transaction.
  void run(const std::string& sqliteText, const std::vector<std::string>& markers, Row (*rowOf)(int),
           Row (*oldRowOf)(int)) {
    exec("BEGIN");
    sqlite3_stmt* st = prepare(sqliteText);
    for (int i = 1; i <= kRows; ++i) {
      bindRow(st, markers, rowOf(i), oldRowOf ? oldRowOf(i) : Row{});
      if (sqlite3_step(st) != SQLITE_DONE) fail(sqlite3_errmsg(db_));
      if (sqlite3_changes(db_) != 1)
        fail("the peer's statement changed " + std::to_string(sqlite3_changes(db_)) + " rows for row " +
             std::to_string(i));
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    exec("COMMIT");
  }

 private:
  sqlite3_stmt* prepare(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK)
      fail(sql + ": " + sqlite3_errmsg(db_));
    return st;
  }

  // Binds markers named by column; a name marked "old:" takes the old row's value.
  static void bindRow(sqlite3_stmt* st, const std::vector<std::string>& markers, const Row& r, const Row& old = {}) {
    for (size_t m = 0; m < markers.size(); ++m) {
      const bool isOld = markers[m].rfind("old:", 0) == 0;
      const std::string name = isOld ? markers[m].substr(4) : markers[m];
      const Row& v = isOld ? old : r;
      const int k = static_cast<int>(m) + 1;
      if (name == "ID")
        sqlite3_bind_int(st, k, v.id);
      else if (name == "MC")
        sqlite3_bind_text(st, k, v.mc.data(), static_cast<int>(v.mc.size()), SQLITE_TRANSIENT);
      else if (name == "BZ")
        sqlite3_bind_text(st, k, v.bz.data(), static_cast<int>(v.bz.size()), SQLITE_TRANSIENT);
      else if (name == "SL")
        sqlite3_bind_int(st, k, v.sl);
      else if (name == "DJ")
        sqlite3_bind_double(st, k, v.dj);
      else
        fail("no value for the marker of column " + name);
    }
  }

  sqlite3* db_ = nullptr;
};

Cell cellOf(const Row& r, const std::string& column) {
  if (column == "ID") return Cell::of(Variant(r.id));
  if (column == "MC") return Cell::of(Variant(text::utf8ToWide(r.mc)));
  if (column == "BZ") return Cell::of(Variant(text::utf8ToWide(r.bz)));
  if (column == "SL") return Cell::of(Variant(r.sl));
  if (column == "DJ") return Cell::of(Variant(r.dj));
  fail("unexpected column " + column);
}

Variant updateDelta(const packets::MaterializedPacket& meta) {
  packets::MaterializedPacket delta;
  delta.columns = meta.columns;
  delta.attributes.delta = true;
  for (int i = 1; i <= kRows; ++i) {
    packets::Record orig{RowStatus::Original, {}}, mod{RowStatus::Modified, {}};
    for (const auto& c : meta.columns) {
      orig.cells.push_back(cellOf(original(i), c.name));
      mod.cells.push_back(c.name == "MC" ? cellOf(changed(i), c.name) : Cell::unchanged());
    }
    delta.records.push_back(std::move(orig));
    delta.records.push_back(std::move(mod));
  }
  return packets::packetToVariant(packets::encode(delta));
}

Variant insertDelta(const packets::MaterializedPacket& meta) {
  packets::MaterializedPacket delta;
  delta.columns = meta.columns;
  delta.attributes.delta = true;
  for (int i = 1; i <= kRows; ++i) {
    packets::Record ins{RowStatus::Inserted, {}};
    for (const auto& c : meta.columns) ins.cells.push_back(cellOf(original(i), c.name));
    delta.records.push_back(std::move(ins));
  }
  return packets::packetToVariant(packets::encode(delta));
}

// The marker columns of a resolver statement, read off its lines: the
// insert's column list, or the update's " X = ?" lines (those after
// "where" stand for old values).
std::vector<std::string> markersOf(const std::string& text) {
  std::vector<std::string> names;
  bool where = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 2;
    if (line == "where") where = true;
    if (line.rfind("  (", 0) == 0 && line.find('?') == std::string::npos && names.empty()) {
      std::string list = line.substr(3, line.size() - 4);
      for (size_t p = 0; p <= list.size();) {
        size_t q = list.find(", ", p);
        if (q == std::string::npos) q = list.size();
        names.push_back(list.substr(p, q - p));
        p = q + 2;
      }
    } else if (size_t eq = line.find(" = ?"); eq != std::string::npos && line[0] == ' ') {
      names.push_back((where ? "old:" : "") + line.substr(1, eq - 1));
    }
  }
  return names;
}

// Waits until the main thread has applied what the watch handed over.
void drain(remoting::MessageLoop& loop) {
  std::promise<void> done;
  loop.postAfter(host::LoopLogSink::kBatchWindow + std::chrono::milliseconds(1), [&] { done.set_value(); });
  done.get_future().wait();
}

}  // namespace

int main() {
  const rvz::testsupport::ScratchFolder scratch("apply_bench");
  const rvz::testsupport::HomeScope homeScope(scratch.path());
  const std::string file = (scratch / "bench.mdb").string();
  files::writeFile(file, "");
  {
    data::Connection cn("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file);
    cn.execute(
        "CREATE TABLE G (ID LONG, MC TEXT(40), SL LONG, DJ DOUBLE, BZ TEXT(100), "
        "CONSTRAINT PK_G PRIMARY KEY (ID))");
  }

  remoting::MessageLoop loop;
  auto log = std::make_shared<host::ActivityLog>();
  services::setActivityLogSink(std::make_shared<host::LoopLogSink>(loop, log));
  std::thread mainThread([&] { loop.run(); });

  RawSqlite raw(file);
  services::TDatas d;
  d.Cn.setConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file);
  Variant params, owner;
  int32_t recs = 0;
  const auto meta = packets::materialize(
      packets::decodePacket(d.host().AS_GetRecords(u"pTmp", 0, recs, 1, u"select * from G", params, owner)));

  // One apply of the delta through the service; its seconds, the entries in the log.
  std::string lastText;
  auto apply = [&](const Variant& delta) {
    int32_t errors = -1;
    const double s = bench::timed([&] {
      Variant r = d.host().AS_ApplyUpdates(u"pTmp", delta, -1, errors, owner);
      if (errors != 0 || !r.isNull()) fail("the apply reported " + std::to_string(errors) + " errors");
    });
    drain(loop);
    return s;
  };
  // The resolver's statement text for a delta, seen by the watch on a first, untimed apply.
  auto resolverText = [&](const Variant& delta) {
    std::string text;
    d.Cn.setWillExecute([&](std::string_view t, data::EventStatus& st) {
      if (text.empty() && (t.rfind("update", 0) == 0 || t.rfind("insert", 0) == 0)) text = std::string(t);
      services::CnWillExecute(t, st);
    });
    apply(delta);
    d.Cn.setWillExecute(services::CnWillExecute);
    if (text.empty()) fail("the watch saw no statement of the apply");
    return text;
  };

  const Variant updates = updateDelta(meta), inserts = insertDelta(meta);

  raw.reset(true);
  const std::string updateText = resolverText(updates);
  const std::vector<std::string> updateMarkers = markersOf(updateText);
  const std::string updateSql = data::jet::translate(updateText);
  const bench::PairedFigure update = bench::pairedRatio(
      [&] {
        raw.reset(true);
        return apply(updates);
      },
      [&] {
        raw.reset(true);
        return bench::timed([&] { raw.run(updateSql, updateMarkers, changed, original); });
      },
      kPairs);

  raw.reset(false);
  const std::string insertText = resolverText(inserts);
  const std::vector<std::string> insertMarkers = markersOf(insertText);
  const std::string insertSql = data::jet::translate(insertText);
  const bench::PairedFigure insert = bench::pairedRatio(
      [&] {
        raw.reset(false);
        return apply(inserts);
      },
      [&] {
        raw.reset(false);
        return bench::timed([&] { raw.run(insertSql, insertMarkers, original, nullptr); });
      },
      kPairs);

  loop.post([&] { loop.quit(); });
  mainThread.join();
  services::setActivityLogSink(nullptr);
  if (log->text().empty()) fail("the watch logged nothing");

  std::printf(
      "apply_update_seconds=%.4f sqlite_update_seconds=%.4f apply_insert_seconds=%.4f "
      "sqlite_insert_seconds=%.4f\n",
      update.oursSeconds, update.peerSeconds, insert.oursSeconds, insert.peerSeconds);
  bench::printFigure("apply_update_vs_sqlite", update);
  bench::printFigure("apply_insert_vs_sqlite", insert);
  return 0;
}
