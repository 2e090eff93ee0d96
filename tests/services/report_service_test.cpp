// The report service object: its catalogue as clients list it, the binding
// of its datasets to the Cn of the data service object named "Datas" (before
// any, beside a second one, after a release), the command watch on report
// commands, result shapes per command text, applies, SetFilter, failures as
// IDatasBb reports them, and report queries of the suite's kind on known
// rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "platform/packets/error_packet.h"
#include "platform/packets/materialized.h"
#include "platform/remoting/type_library.h"
#include "services/command_watch.h"
#include "services/datas_bb_dispatch.h"
#include "services/dms_bb.h"
#include "services/live_objects.h"
#include "service_test_support.h"
#include "services/quib_type_library.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;
using packets::Cell;
using packets::RowStatus;
using State = BorrowedConnection::State;

namespace {

constexpr char kMissing[] = "Missing Connection or ConnectionString";

Fetch fetchFrom(ProviderHost& h, const std::u16string& provider, const std::u16string& commandText,
                int32_t count = -1) {
  Fetch f;
  Variant owner;
  f.packet = h.AS_GetRecords(provider, count, f.recsOut, 1, commandText, f.params, owner);
  return f;
}

Variant filterOf(const std::u16string& dataset, const std::u16string& expression) {
  SafeArray a = SafeArray::vector(VT_VARIANT, 2);
  a.set(0, Variant(WString(dataset)));
  a.set(1, Variant(WString(expression)));
  return Variant(std::move(a));
}

// The activity log as the command watch feeds it.
class CapturedLog : public ActivityLogSink {
 public:
  void addLogEntry(std::string_view entry) override {
    std::lock_guard g(m_);
    entries_.emplace_back(entry);
  }
  std::vector<std::string> entries() {
    std::lock_guard g(m_);
    return entries_;
  }

 private:
  std::mutex m_;
  std::vector<std::string> entries_;
};

class ReportService : public ServiceHome {
 protected:
  void SetUp() override {
    ServiceHome::SetUp();
    company({"insert into KH (ID, BH, MC) values (1, 'K01', 'Alpha')",
             "insert into KH (ID, BH, MC) values (2, 'K02', 'Beta')", "insert into CK (ID, MC) values (1, 'Main')"});
  }
  void TearDown() override {
    setActivityLogSink(nullptr);
    ServiceHome::TearDown();
  }

  // A second account set with one customer of its own.
  void otherAccountSet() {
    std::filesystem::create_directories(home_ / "data" / "Other");
    auto file = (home_ / "data" / "Other" / "DaZiva.mdb").string();
    createDatabase(file, catalogue::companySchemaStatements());
    data::Connection cn(jetString(file));
    cn.execute("insert into KH (ID, BH, MC) values (9, 'K09', 'Other')");
  }

  static std::vector<std::string> columnNames(const Variant& packet) {
    std::vector<std::string> out;
    auto p = decoded(packet);
    for (const auto& c : p.columns()) out.push_back(c.name);
    return out;
  }
};

TEST_F(ReportService, DeclaresItsFiftyFourProvidersAndReportsNoParameters) {
  TDatasBb b;
  EXPECT_EQ(b.componentName(), "DatasBb");
  TDatasBb b1;
  EXPECT_EQ(b1.componentName(), "DatasBb_1");

  Variant names = b.host().AS_GetProviderNames();
  const SafeArray& a = names.arrayValue();
  ASSERT_EQ(a.size(), 54u);
  std::vector<std::string> listed;
  for (uint32_t i = 0; i < a.size(); ++i) listed.push_back(text::wideToUtf8(a.get(i).toText()));
  EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](const std::string& x, const std::string& y) {
    return text::compareNoCase(text::utf8ToWide(x), text::utf8ToWide(y)) < 0;
  }));
  EXPECT_NE(std::find(listed.begin(), listed.end(), "pBbPub"), listed.end());
  EXPECT_EQ(std::find(listed.begin(), listed.end(), "padoPub"), listed.end());

  // Declaration order, the placeholder text, and no parameters anywhere.
  EXPECT_EQ(b.datasets().front()->name(), "KhXsHz");
  EXPECT_EQ(b.datasets().back()->name(), "adoPub");
  EXPECT_EQ(&b.host().find(u"pBbPub").dataset(), b.findDataset("ADOPUB"));
  for (const auto& p : b.host().providers()) {
    EXPECT_EQ(p->dataset().query().commandText(), "select * from \r\n") << p->name();
    Variant owner;
    EXPECT_TRUE(b.host().AS_GetParams(text::utf8ToWide(p->name()), owner).isNull()) << p->name();
  }
}

TEST_F(ReportService, CreatedBeforeAnyDataServiceItWaitsAndThenReads) {
  TDatasBb b;
  EXPECT_EQ(b.binding(), State::Pending);
  EXPECT_EQ(failureOf([&] { fetchFrom(b.host(), u"pKhXsHz", u"select * from KH"); }),
            std::string("KhXsHz: ") + kMissing);
  // The failed call leaves the object usable, and its reference waiting.
  TDatas d;
  EXPECT_EQ(b.binding(), State::Bound);
  EXPECT_EQ(fetchFrom(b.host(), u"pKhXsHz", u"select * from KH").recsOut, 2);
  // Opening the report dataset opened the owner's Cn with its declared string.
  EXPECT_TRUE(d.Cn.isOpen());
}

TEST_F(ReportService, EveryReportObjectReadsThroughTheObjectNamedDatas) {
  otherAccountSet();
  TDatas first;
  TDatas second;
  ASSERT_EQ(second.componentName(), "Datas_1");
  EXPECT_EQ(second.ConnectAct(0, u"", u"Other", u"", u""), 0);
  TDatasBb one, two;
  for (TDatasBb* b : {&one, &two}) {
    auto p = decoded(fetchFrom(b->host(), u"pKhLsz", u"select MC from KH order by ID").packet);
    ASSERT_EQ(p.rowCount(), 2u);
    EXPECT_EQ(p.value(0, 0).toText(), u"Alpha");
  }
  EXPECT_TRUE(first.Cn.isOpen());
  EXPECT_FALSE(second.Cn.isOpen());
}

TEST_F(ReportService, AReleasedOwnerUnbindsForGoodAndANewReportObjectBindsToItsSuccessor) {
  auto owner = std::make_unique<TDatas>();
  TDatasBb old;
  ASSERT_EQ(fetchFrom(old.host(), u"pCkkcHz", u"select * from CK").recsOut, 1);
  // Left open on purpose: a fetch of one row of two keeps the cursor.
  ASSERT_EQ(fetchFrom(old.host(), u"pKhXsHz", u"select * from KH", 1).recsOut, 1);
  ASSERT_TRUE(old.findDataset("KhXsHz")->isOpen());
  owner.reset();
  EXPECT_EQ(old.binding(), State::Unbound);
  EXPECT_FALSE(old.findDataset("KhXsHz")->isOpen());

  TDatas successor;
  ASSERT_EQ(successor.componentName(), "Datas");
  EXPECT_EQ(old.binding(), State::Unbound);
  EXPECT_EQ(failureOf([&] { fetchFrom(old.host(), u"pCkkcHz", u"select * from CK"); }),
            std::string("CkkcHz: ") + kMissing);
  Variant params, ownerData;
  EXPECT_EQ(failureOf([&] { old.host().AS_Execute(u"pBbPub", u"delete from CK", params, ownerData); }),
            std::string("adoPub: ") + kMissing);

  TDatasBb fresh;
  EXPECT_EQ(fresh.binding(), State::Bound);
  EXPECT_EQ(fetchFrom(fresh.host(), u"pCkkcHz", u"select * from CK").recsOut, 1);
}

TEST_F(ReportService, AReportObjectDestroyedWhilePendingIsForgotten) {
  auto waiting = std::make_unique<TDatasBb>();
  waiting.reset();
  TDatas d;  // resolves the pending references of the process: none may name a dead object
  TDatasBb b;
  EXPECT_EQ(b.binding(), State::Bound);
  // A report object going away lets go of the owner, which still serves it.
  auto gone = std::make_unique<TDatasBb>();
  ASSERT_EQ(fetchFrom(gone->host(), u"pKhXsHz", u"select * from KH", 1).recsOut, 1);
  gone.reset();
  EXPECT_EQ(fetchFrom(b.host(), u"pKhXsHz", u"select * from KH").recsOut, 2);
  EXPECT_EQ(fetch(d, u"pTmp", -1, 1, u"select * from KH").recsOut, 2);
}

TEST_F(ReportService, EveryReportCommandPassesTheOwnersWatch) {
  auto log = std::make_shared<CapturedLog>();
  setActivityLogSink(log);
  TDatas d;
  TDatasBb b;
  fetchFrom(b.host(), u"pKhXsHz", u"select * from KH");
  Variant params, owner;
  b.host().AS_Execute(u"pBbPub", u"update KH set BZ = 'x' where ID = 1", params, owner);
  std::string refused = failureOf([&] { b.host().AS_Execute(u"pYskZb", u"update KH", params, owner); });
  EXPECT_EQ(refused, "Operation has been cancelled by the user.");
  EXPECT_EQ(log->entries(), (std::vector<std::string>{"select * from KH", "update KH set BZ = 'x' where ID = 1",
                                                      "Not Execute: update KH"}));
  // The refusal leaves the report object usable.
  EXPECT_EQ(fetchFrom(b.host(), u"pYskZb", u"select ID from KH where BZ = 'x'").recsOut, 1);
}

TEST_F(ReportService, EachCommandTextGivesItsOwnShape) {
  TDatas d;
  TDatasBb b;
  auto one = fetchFrom(b.host(), u"pHpXsHz", u"select ID, MC from KH order by ID");
  auto two = fetchFrom(b.host(), u"pHpXsHz", u"select MC as Name, ID * 10 as Ten, BH from KH order by ID");
  EXPECT_EQ(columnNames(one.packet), (std::vector<std::string>{"ID", "MC"}));
  EXPECT_EQ(columnNames(two.packet), (std::vector<std::string>{"Name", "Ten", "BH"}));
  auto p = decoded(two.packet);
  EXPECT_EQ(p.value(1, 1).toInt64(), 20);
  // Fields made from a result: in update and in where, never in key.
  for (const auto& c : p.columns()) EXPECT_EQ(c.provFlags.value_or(3), 3) << c.name;
  EXPECT_TRUE(p.attributes().primaryKey.empty());

  // Without a command text the placeholder runs, and the database refuses it.
  TDatasBb plain;
  std::string failure = failureOf([&] { fetchFrom(plain.host(), u"pKhXsMx", u""); });
  EXPECT_EQ(failure.find(kMissing), std::string::npos) << failure;
  EXPECT_FALSE(failure.empty());
}

TEST_F(ReportService, MemosAreReadOnDemandThroughTheBorrowedConnection) {
  company({"insert into Appselect (DATASET, FIELDNAME, DATASELECT) values ('Kh', 'MC', 'select * from KH')"});
  TDatasBb pending;
  auto d = std::make_unique<TDatas>();
  TDatasBb b;
  auto f = fetchFrom(b.host(), u"pXsMsdj", u"select DATASET, FIELDNAME, DATASELECT from Appselect");
  auto p = decoded(f.packet);
  EXPECT_EQ(p.state(0, 2), packets::ValueState::NotFetched);
  Variant owner;
  auto row = decoded(b.host().AS_RowRequest(u"pXsMsdj", f.packet, 2, owner));
  EXPECT_EQ(row.value(0, 2).toText(), u"select * from KH");
  // The report object created before the data service was bound by it too;
  // once the owner has gone, neither reads.
  d.reset();
  for (TDatasBb* r : {&pending, &b})
    EXPECT_EQ(failureOf([&] { r->host().AS_RowRequest(u"pXsMsdj", f.packet, 2, owner); }),
              std::string("XsMsdj: ") + kMissing);
}

class ReportApplies : public ReportService {
 protected:
  static Variant renameFirst(const Variant& packet, const std::string& name) {
    auto m = packets::materialize(decoded(packet));
    packets::Record orig = m.records[0];
    packets::Record mod{RowStatus::Modified, std::vector<Cell>(m.columns.size(), Cell::unchanged())};
    for (size_t c = 0; c < m.columns.size(); ++c)
      if (m.columns[c].name == "MC") mod.cells[c] = Cell::of(Variant(text::utf8ToWide(name)));
    packets::MaterializedPacket delta;
    delta.columns = m.columns;
    delta.attributes.delta = true;
    delta.records = {orig, mod};
    return packets::packetToVariant(packets::encode(delta));
  }
  Variant apply(TDatasBb& b, const std::u16string& provider, const Variant& delta, int32_t& errors) {
    Variant owner;
    return b.host().AS_ApplyUpdates(provider, delta, -1, errors, owner);
  }
};

TEST_F(ReportApplies, GoToTheTableOfTheCurrentCommandText) {
  TDatas d;
  TDatasBb b;
  auto f = fetchFrom(b.host(), u"pKhXsHz", u"select ID, MC from KH where ID = 1");
  int32_t errors = -1;
  EXPECT_TRUE(apply(b, u"pKhXsHz", renameFirst(f.packet, "Renamed"), errors).isNull());
  EXPECT_EQ(errors, 0);
  auto back = decoded(fetch(d, u"pTmp", -1, 1, u"select MC from KH where ID = 1").packet);
  EXPECT_EQ(back.value(0, 0).toText(), u"Renamed");
}

TEST_F(ReportApplies, WithThePlaceholderFindNoTable) {
  TDatas d;
  TDatasBb b;
  // A packet of the right shape, fetched through another provider; the
  // target provider still holds its placeholder.
  auto f = fetchFrom(b.host(), u"pKhXsHz", u"select ID, MC from KH where ID = 1");
  int32_t errors = -1;
  Variant result = apply(b, u"pKhXsMx", renameFirst(f.packet, "Lost"), errors);
  EXPECT_EQ(errors, 1);
  auto records = packets::readErrorPacket(decoded(result));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(text::wideToUtf8(records[0].message), "Unable to resolve records.  Table name not found.");
  EXPECT_EQ(decoded(fetch(d, u"pTmp", -1, 1, u"select MC from KH where ID = 1").packet).value(0, 0).toText(), u"Alpha");
}

TEST_F(ReportApplies, WithoutABindingFailWithTheMissingConnection) {
  TDatasBb b;
  auto delta = [&] {
    TDatas d;
    TDatasBb reader;
    return renameFirst(fetchFrom(reader.host(), u"pKhXsHz", u"select ID, MC from KH where ID = 1").packet, "Lost");
  }();
  int32_t errors = -1;
  // `b` was created before the data service object that has gone meanwhile:
  // bound to it at its build, unbound at its release.
  EXPECT_EQ(b.binding(), State::Unbound);
  EXPECT_EQ(failureOf([&] { apply(b, u"pKhXsHz", delta, errors); }), std::string("KhXsHz: ") + kMissing);
}

TEST_F(ReportService, SetFilterNamesTheDatasetAndNarrowsTheNextFetch) {
  TDatas d;
  TDatasBb b;
  b.SetFilter(filterOf(u"khxshz", u"MC = 'Beta'"));
  auto p = decoded(fetchFrom(b.host(), u"pKhXsHz", u"select ID, MC from KH").packet);
  ASSERT_EQ(p.rowCount(), 1u);
  EXPECT_EQ(p.value(0, 1).toText(), u"Beta");
  // On an open dataset the filter applies at once to what is fetched next.
  ASSERT_EQ(fetchFrom(b.host(), u"pKhXsMx", u"select ID, MC from KH order by ID", 0).recsOut, 0);
  b.SetFilter(filterOf(u"KhXsMx", u"ID = 2"));
  EXPECT_EQ(fetchFrom(b.host(), u"pKhXsMx", u"", -1).recsOut, 1);
  b.SetFilter(filterOf(u"KhXsHz", u""));
  EXPECT_EQ(fetchFrom(b.host(), u"pKhXsHz", u"select ID, MC from KH").recsOut, 2);

  struct Case {
    Variant filter;
    const char* failure;
  };
  const Case cases[] = {
      {filterOf(u"pKhXsHz", u"ID = 1"), "Component 'pKhXsHz' not found"},
      {Variant(WString(u"KhXsHz")), "SetFilter expects an array of a dataset name and a filter"},
  };
  for (const auto& c : cases) EXPECT_EQ(failureOf([&] { b.SetFilter(c.filter); }), c.failure);
}

TEST_F(ReportService, FailuresReachTheClientAsQuibDatasBbOfIDatasBb) {
  TDatas d;
  DatasBbDispatch o;
  remoting::DispatchIdentity id{&services::datasBbClass(), &services::idatasBbInterface()};
  auto call = [&](int32_t dispid, std::vector<Variant> args, ErrorInfo& e) {
    Variant result;
    auto check = remoting::prepareCall(id, dispid, args, e);
    if (check.hr != S_OK) return std::pair{check.hr, result};
    return std::pair{remoting::runCall(id, o, *check.method, args, result, e), result};
  };
  ErrorInfo e;
  auto [hr, result] = call(20000001,
                           {Variant(WString(u"pNoSuch")), Variant::i4(-1), Variant(), Variant::i4(1),
                            Variant(WString(u"")), Variant(), Variant()},
                           e);
  EXPECT_EQ(hr, E_FAIL);
  EXPECT_EQ(e.source, u"Quib.DatasBb");
  EXPECT_EQ(e.interfaceId, std::string(services::idatasBbInterface().iid));
  EXPECT_EQ(text::wideToUtf8(e.description), "Provider not exported: pNoSuch");

  ErrorInfo ok;
  std::tie(hr, result) = call(1, {filterOf(u"KhXsHz", u"ID = 1")}, ok);
  EXPECT_EQ(hr, S_OK);
  std::tie(hr, result) = call(20000001,
                              {Variant(WString(u"pKhXsHz")), Variant::i4(-1), Variant(), Variant::i4(1),
                               Variant(WString(u"select ID from KH")), Variant(), Variant()},
                              ok);
  ASSERT_EQ(hr, S_OK) << text::wideToUtf8(ok.description);
  EXPECT_EQ(decoded(result).rowCount(), 1u);
}

// Report queries of the kinds the suite's report screens send, on rows
// whose totals are known.
class ReportQueries : public ReportService {
 protected:
  void SetUp() override {
    ReportService::SetUp();
    company({
        "insert into HP (ID, BH, PM) values (1, 'H1', 'Tea')",
        "insert into HP (ID, BH, PM) values (2, 'H2', 'Rice')",
        "insert into CK (ID, MC) values (2, 'Depot')",
        // Sales bills: two in August, one in July (outside the range).
        "insert into XSKDZB (ID, DJBH, RQ, KHID, CKID, JE) values (1, 'S1', #2008-08-03#, 1, 1, 50)",
        "insert into XSKDZB (ID, DJBH, RQ, KHID, CKID, JE) values (2, 'S2', #2008-08-20#, 2, 1, 12)",
        "insert into XSKDZB (ID, DJBH, RQ, KHID, CKID, JE) values (3, 'S3', #2008-07-30#, 1, 1, 999)",
        "insert into XSKD (RECID, ZBID, HH, HPID, SL, DJ) values ('a', 1, 1, 1, 2, 10)",
        "insert into XSKD (RECID, ZBID, HH, HPID, SL, DJ) values ('b', 1, 2, 2, 3, 10)",
        "insert into XSKD (RECID, ZBID, HH, HPID, SL, DJ) values ('c', 2, 1, 1, 4, 3)",
        "insert into XSKD (RECID, ZBID, HH, HPID, SL, DJ) values ('d', 3, 1, 1, 999, 1)",
        // A receipt of 20 from Alpha in September.
        "insert into XSSKZB (ID, DJBH, RQ, KHID, JE) values (1, 'R1', #2008-09-01#, 1, 20)",
        "insert into HPKC (CKID, HPID, QCS, JCS) values (1, 1, 0, 5)",
        "insert into HPKC (CKID, HPID, QCS, JCS) values (1, 2, 0, 7)",
        "insert into HPKC (CKID, HPID, QCS, JCS) values (2, 1, 0, 11)",
    });
  }

  // The rows of a report as text, one line per row, values joined by "|".
  std::vector<std::string> rows(TDatasBb& b, const std::u16string& provider, const std::string& sql) {
    auto p = decoded(fetchFrom(b.host(), provider, text::utf8ToWide(sql)).packet);
    std::vector<std::string> out;
    for (size_t r = 0; r < p.rowCount(); ++r) {
      std::string line;
      for (size_t c = 0; c < p.columnCount(); ++c) line += (c ? "|" : "") + text::wideToUtf8(p.value(r, c).toText());
      out.push_back(line);
    }
    return out;
  }
};

TEST_F(ReportQueries, SalesByCustomerAndGoodsOverADateRange) {
  TDatas d;
  TDatasBb b;
  EXPECT_EQ(rows(b, u"pKhXsHz",
                 "select K.MC, sum(M.SL*M.DJ) as JE\r\nfrom XSKDZB Z, XSKD M, KH K\r\n"
                 "where M.ZBID=Z.ID and Z.KHID=K.ID and Z.RQ between #2008-08-01# and #2008-08-31#\r\n"
                 "group by K.MC order by K.MC"),
            (std::vector<std::string>{"Alpha|50", "Beta|12"}));
  EXPECT_EQ(rows(b, u"pHpXsHz",
                 "select H.PM, sum(M.SL) as SL, sum(M.SL*M.DJ) as JE from XSKDZB Z, XSKD M, HP H "
                 "where M.ZBID=Z.ID and M.HPID=H.ID and Z.RQ >= #2008-08-01# and Z.RQ < #2008-09-01# "
                 "group by H.PM order by H.PM"),
            (std::vector<std::string>{"Rice|3|30", "Tea|6|32"}));
}

TEST_F(ReportQueries, ReceivablesAgeingAndStockByWarehouse) {
  TDatas d;
  TDatasBb b;
  // Sales per customer minus receipts, split by the age of the bill on the
  // 30th of September.
  EXPECT_EQ(
      rows(b, u"pYskZlfx",
           "select K.MC,\r\n"
           " sum(iif(DateDiff('d', Z.RQ, #2008-09-30#) <= 60, Z.JE, 0)) as Recent,\r\n"
           " sum(iif(DateDiff('d', Z.RQ, #2008-09-30#) > 60, Z.JE, 0)) as Old,\r\n"
           " sum(Z.JE) - (select iif(isnull(sum(S.JE)), 0, sum(S.JE)) from XSSKZB S where S.KHID = K.ID) as Due\r\n"
           "from XSKDZB Z, KH K where Z.KHID = K.ID group by K.ID, K.MC order by K.MC"),
      (std::vector<std::string>{"Alpha|50|999|1029", "Beta|12|0|12"}));
  EXPECT_EQ(rows(b, u"pCkkcHz",
                 "select C.MC, count(*) as Kinds, sum(K.JCS) as SL from HPKC K, CK C where K.CKID = C.ID "
                 "group by C.MC order by C.MC"),
            (std::vector<std::string>{"Depot|1|11", "Main|2|12"}));
}

}  // namespace
