// Packet layer against SQLite: builds (binary form) and decodes a packet of
// 100 000 rows x 20 mixed columns, and reads the same rows from an SQLite
// table with sqlite3_step and sqlite3_column_*. Prints our time over
// SQLite's, best of several runs: encode_vs_sqlite_read and
// decode_vs_sqlite_read.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/packets/packet_reader.h"
#include "platform/packets/packet_writer.h"

using namespace rvz;
using namespace rvz::packets;

namespace {

constexpr size_t kRows = 100000;
constexpr int kRuns = 7;

// The mix of a typical catalogue dataset: mostly wide strings, integers
// and floats, some dates and booleans.
enum class Kind { Int, Wide, Real, Date, Bool };
const Kind kKinds[20] = {Kind::Int,  Kind::Wide, Kind::Wide, Kind::Wide, Kind::Wide, Kind::Wide, Kind::Wide,
                         Kind::Int,  Kind::Int,  Kind::Int,  Kind::Real, Kind::Real, Kind::Real, Kind::Real,
                         Kind::Date, Kind::Date, Kind::Bool, Kind::Bool, Kind::Wide, Kind::Int};

struct Table {
  // Column-major values; null where nulls[c][r].
  std::vector<std::vector<int32_t>> ints{20};
  std::vector<std::vector<double>> reals{20};
  std::vector<std::vector<std::u16string>> wides{20};
  std::vector<std::vector<bool>> nulls{20};
};

Table makeTable() {
  Table t;
  std::mt19937 rng(12345);
  const std::u16string words[] = {u"张三",      u"李四", u"办公用品", u"Shanghai Trading Co.",
                                  u"A4 纸 80g", u"备注", u"进销存",   u"客户"};
  for (int c = 0; c < 20; ++c) {
    t.nulls[c].resize(kRows);
    for (size_t r = 0; r < kRows; ++r) {
      bool null = c != 0 && rng() % 10 == 0;
      t.nulls[c][r] = null;
      switch (kKinds[c]) {
        case Kind::Int:
          t.ints[c].push_back(c == 0 ? static_cast<int32_t>(r + 1) : static_cast<int32_t>(rng() % 100000));
          break;
        case Kind::Bool: t.ints[c].push_back(static_cast<int32_t>(rng() % 2)); break;
        case Kind::Real: t.reals[c].push_back(static_cast<double>(rng() % 1000000) / 100.0); break;
        case Kind::Date:
          t.reals[c].push_back(36000.0 + static_cast<double>(rng() % 8000) + (c == 15 ? 0.5 : 0.0));
          break;
        case Kind::Wide: {
          std::u16string s = words[rng() % 8];
          s += static_cast<char16_t>(u'0' + rng() % 10);
          t.wides[c].push_back(std::move(s));
          break;
        }
      }
    }
  }
  return t;
}

std::vector<Column> columns() {
  std::vector<Column> cols;
  for (int c = 0; c < 20; ++c) {
    FieldType t = FieldType::I4;
    switch (kKinds[c]) {
      case Kind::Int: t = FieldType::I4; break;
      case Kind::Wide: t = FieldType::WideString; break;
      case Kind::Real: t = FieldType::R8; break;
      case Kind::Date: t = c == 14 ? FieldType::Date : FieldType::DateTime; break;
      case Kind::Bool: t = FieldType::Boolean; break;
    }
    Column col("C" + std::to_string(c), t);
    if (t == FieldType::WideString) col.width = 80;
    cols.push_back(std::move(col));
  }
  return cols;
}

std::vector<uint8_t> encodeTable(const Table& t) {
  PacketAttributes a;
  a.primaryKey = {1};
  PacketWriter w(columns(), a);
  for (size_t r = 0; r < kRows; ++r) {
    w.beginRow();
    for (int c = 0; c < 20; ++c) {
      if (t.nulls[c][r]) {
        w.putNull();
        continue;
      }
      switch (kKinds[c]) {
        case Kind::Int: w.putI4(t.ints[c][r]); break;
        case Kind::Bool: w.putBool(t.ints[c][r] != 0); break;
        case Kind::Real: w.putR8(t.reals[c][r]); break;
        case Kind::Date: w.putDate(t.reals[c][r]); break;
        case Kind::Wide: w.putWide(t.wides[c][r]); break;
      }
    }
    w.endRow();
  }
  return w.finish();
}

// Decodes and touches every value, as a client reading the rows would.
uint64_t decodeAndRead(const std::vector<uint8_t>& bytes) {
  Packet p = decodePacket(std::span<const uint8_t>(bytes));
  uint64_t sum = 0;
  const size_t rows = p.rowCount();
  for (size_t r = 0; r < rows; ++r)
    for (int c = 0; c < 20; ++c) {
      if (!p.hasValue(r, static_cast<size_t>(c))) {
        ++sum;
        continue;
      }
      switch (kKinds[c]) {
        case Kind::Int: sum += static_cast<uint64_t>(p.i4Value(r, static_cast<size_t>(c))); break;
        case Kind::Bool: sum += p.boolValue(r, static_cast<size_t>(c)); break;
        case Kind::Real:
        case Kind::Date: sum += static_cast<uint64_t>(p.realValue(r, static_cast<size_t>(c))); break;
        case Kind::Wide: {
          WStringView w = p.wide(r, static_cast<size_t>(c));
          sum += w.size() + (w.empty() ? 0 : w[0]);
          break;
        }
      }
    }
  return sum;
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

void writeSqlite(sqlite3* db, const Table& t) {
  std::string create = "create table t (";
  std::string insert = "insert into t values (";
  for (int c = 0; c < 20; ++c) {
    const char* type = kKinds[c] == Kind::Wide                              ? "text"
                       : kKinds[c] == Kind::Real || kKinds[c] == Kind::Date ? "real"
                                                                            : "integer";
    create += (c ? ", c" : "c") + std::to_string(c) + " " + type;
    insert += c ? ", ?" : "?";
  }
  check(sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr), db, "create");
  check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db, "begin");
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &st, nullptr), db, "prepare insert");
  for (size_t r = 0; r < kRows; ++r) {
    for (int c = 0; c < 20; ++c) {
      int i = c + 1;
      if (t.nulls[c][r]) {
        sqlite3_bind_null(st, i);
        continue;
      }
      switch (kKinds[c]) {
        case Kind::Int:
        case Kind::Bool: sqlite3_bind_int(st, i, t.ints[c][r]); break;
        case Kind::Real:
        case Kind::Date: sqlite3_bind_double(st, i, t.reals[c][r]); break;
        case Kind::Wide:
          sqlite3_bind_text16(st, i, t.wides[c][r].data(), static_cast<int>(t.wides[c][r].size() * 2), SQLITE_STATIC);
          break;
      }
    }
    check(sqlite3_step(st), db, "insert");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db, "commit");
}

uint64_t readSqlite(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(db, "select * from t", -1, &st, nullptr), db, "prepare select");
  uint64_t sum = 0;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int c = 0; c < 20; ++c) {
      if (sqlite3_column_type(st, c) == SQLITE_NULL) {
        ++sum;
        continue;
      }
      switch (kKinds[c]) {
        case Kind::Int:
        case Kind::Bool: sum += static_cast<uint64_t>(sqlite3_column_int(st, c)); break;
        case Kind::Real:
        case Kind::Date: sum += static_cast<uint64_t>(sqlite3_column_double(st, c)); break;
        case Kind::Wide: {
          const char16_t* w = static_cast<const char16_t*>(sqlite3_column_text16(st, c));
          size_t n = static_cast<size_t>(sqlite3_column_bytes16(st, c)) / 2;
          sum += n + (n ? w[0] : 0);
          break;
        }
      }
    }
  }
  check(rc, db, "select");
  sqlite3_finalize(st);
  return sum;
}

template <class F>
double bestOf(F&& f) {
  double best = 1e100;
  for (int i = 0; i < kRuns; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    best = std::min(best, s);
  }
  return best;
}

}  // namespace

int main() {
  Table t = makeTable();
  auto path = std::filesystem::temp_directory_path() / ("rvz_packets_bench_" + std::to_string(::getpid()) + ".db");
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
  }
  writeSqlite(db, t);

  std::vector<uint8_t> packet;
  uint64_t sqliteSum = 0, packetSum = 0;
  double sqliteTime = bestOf([&] { sqliteSum = readSqlite(db); });
  double encodeTime = bestOf([&] { packet = encodeTable(t); });
  double decodeTime = bestOf([&] { packetSum = decodeAndRead(packet); });
  sqlite3_close(db);
  std::filesystem::remove(path);
  if (sqliteSum != packetSum) {
    std::fprintf(stderr, "the packet's values differ from the table's (%llu vs %llu)\n",
                 static_cast<unsigned long long>(packetSum), static_cast<unsigned long long>(sqliteSum));
    return 1;
  }
  std::printf("rows=%zu columns=20 packet_bytes=%zu\n", kRows, packet.size());
  std::printf("sqlite_read_ms=%.2f encode_ms=%.2f decode_ms=%.2f\n", sqliteTime * 1e3, encodeTime * 1e3,
              decodeTime * 1e3);
  std::printf("encode_vs_sqlite_read=%.3f\n", encodeTime / sqliteTime);
  std::printf("decode_vs_sqlite_read=%.3f\n", decodeTime / sqliteTime);
  return 0;
}
