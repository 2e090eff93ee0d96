// The provider operations of a data service object, as a client sees them
// through AS_GetRecords, AS_RowRequest, AS_Execute, AS_GetParams and
// AS_GetProviderNames.
#include <gtest/gtest.h>

#include "platform/data/data_error.h"
#include "platform/packets/param_list.h"
#include "services/provider.h"
#include "service_test_support.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;

namespace {

class ProviderProtocol : public ServiceHome {
 protected:
  void menus(int n) {
    std::vector<std::string> s;
    for (int i = 1; i <= n; ++i)
      s.push_back("insert into AppMenu (mName, mCaption, mLevel, mIndex, mIsParent) values ('m" + std::to_string(i) +
                  "', 'caption', 1, " + std::to_string(i) + ", False)");
    company(s);
  }
  std::vector<int64_t> menuIndexes(const Variant& packet) {
    auto p = decoded(packet);
    std::vector<int64_t> out;
    int col = p.columnIndex("mIndex");
    for (size_t r = 0; r < p.rowCount(); ++r) out.push_back(p.intValue(r, static_cast<size_t>(col)));
    return out;
  }
};

TEST_F(ProviderProtocol, SlicesOfFiveOverTwelveAndTenRows) {
  menus(12);
  TDatas d;
  auto a = fetch(d, u"pAppMenu", 5), b = fetch(d, u"pAppMenu", 5, 0), c = fetch(d, u"pAppMenu", 5, 0);
  EXPECT_EQ(a.recsOut, 5);
  EXPECT_EQ(b.recsOut, 5);
  EXPECT_EQ(c.recsOut, 2);
  EXPECT_EQ(menuIndexes(b.packet), (std::vector<int64_t>{6, 7, 8, 9, 10}));
  EXPECT_EQ(menuIndexes(c.packet), (std::vector<int64_t>{11, 12}));
  EXPECT_FALSE(d.findDataset("AppMenu")->isOpen());

  company({"delete from AppMenu where mIndex > 10"});
  TDatas e;
  EXPECT_EQ(fetch(e, u"pAppMenu", 5).recsOut, 5);
  EXPECT_TRUE(e.findDataset("AppMenu")->isOpen());
  EXPECT_EQ(fetch(e, u"pAppMenu", 5, 0).recsOut, 5);
  auto last = fetch(e, u"pAppMenu", 5, 0);
  EXPECT_EQ(last.recsOut, 0);
  EXPECT_EQ(decoded(last.packet).rowCount(), 0u);
  EXPECT_FALSE(e.findDataset("AppMenu")->isOpen());
}

TEST_F(ProviderProtocol, CountZeroGivesMetadataOnlyAndLeavesTheDatasetAtItsFirstRow) {
  menus(3);
  TDatas d;
  auto f = fetch(d, u"pAppMenu", 0, 0);
  EXPECT_EQ(f.recsOut, 0);
  auto p = decoded(f.packet);
  EXPECT_EQ(p.rowCount(), 0u);
  ASSERT_EQ(p.columnCount(), 5u);
  EXPECT_TRUE(d.findDataset("AppMenu")->isOpen());
  EXPECT_EQ(menuIndexes(fetch(d, u"pAppMenu", -1).packet), (std::vector<int64_t>{1, 2, 3}));
  EXPECT_FALSE(d.findDataset("AppMenu")->isOpen());
}

TEST_F(ProviderProtocol, ResetWithCountZeroReturnsEmptyAndRewinds) {
  menus(4);
  TDatas d;
  fetch(d, u"pAppMenu", 2);
  auto r = fetch(d, u"pAppMenu", 0, 2);
  EXPECT_TRUE(r.packet.isEmpty());
  EXPECT_EQ(r.recsOut, -99);  // not written
  EXPECT_EQ(menuIndexes(fetch(d, u"pAppMenu", 2).packet), (std::vector<int64_t>{1, 2}));
}

TEST_F(ProviderProtocol, CommandTextOnAnOpenDataset) {
  menus(6);
  TDatas d;
  fetch(d, u"pAppMenu", 2);
  // The same text again changes nothing: the slice goes on.
  auto same = fetch(d, u"pAppMenu", 2, 0, u"select * from AppMenu\r\n");
  EXPECT_EQ(menuIndexes(same.packet), (std::vector<int64_t>{3, 4}));
  EXPECT_EQ(failureOf([&] { fetch(d, u"pAppMenu", 2, 0, u"select * from AppMenu where mIndex > 3"); }),
            "AppMenu: Cannot perform this operation on an open dataset");
  // The failed call did not disturb the open slice.
  EXPECT_EQ(menuIndexes(fetch(d, u"pAppMenu", 2, 0).packet), (std::vector<int64_t>{5, 6}));
}

TEST_F(ProviderProtocol, ClientTextStaysTheCommandTextAfterTheFetch) {
  menus(5);
  TDatas d;
  fetch(d, u"pAppMenu", -1, 1, u"select * from AppMenu where mIndex >= 4");
  EXPECT_EQ(menuIndexes(fetch(d, u"pAppMenu", -1).packet), (std::vector<int64_t>{4, 5}));
}

TEST_F(ProviderProtocol, ExecuteOnTmpThenAFetchRunsTheStatementAgain) {
  menus(3);
  TDatas d;
  Variant params, owner;
  d.host().AS_Execute(u"pTmp", u"delete from AppMenu where mIndex = 1", params, owner);
  EXPECT_TRUE(params.isNull());
  company({"insert into AppMenu (mName, mIndex) values ('again', 1)"});
  EXPECT_EQ(failureOf([&] { fetch(d, u"pTmp", -1); }), "Tmp: CommandText does not return a result set");
  TDatas check;
  EXPECT_EQ(menuIndexes(fetch(check, u"pAppMenu", -1).packet), (std::vector<int64_t>{2, 3}));
}

TEST_F(ProviderProtocol, FreeSqlDatasetsNeedACommandText) {
  TDatas d;
  EXPECT_EQ(failureOf([&] { fetch(d, u"pTmp", -1); }), "Tmp: Missing SQL property");
  menus(2);
  auto f = fetch(d, u"pTmp", -1, 1, u"select mName, mIndex, mIndex * 2 as twice from AppMenu");
  auto p = decoded(f.packet);
  ASSERT_EQ(p.columnCount(), 3u);
  EXPECT_EQ(p.columns()[2].name, "twice");
  EXPECT_EQ(p.intValue(1, 2), 4);
  EXPECT_FALSE(p.columns()[0].provFlags.has_value());  // created fields take U W
  EXPECT_TRUE(p.attributes().primaryKey.empty());
}

TEST_F(ProviderProtocol, ParameterListsEqualAndDifferent) {
  menus(6);
  TDatas d;
  auto list = [](int32_t v) { return Variant(SafeArray::variants({SafeArray::variants({u"lim", v, 3, 1, 0, 0, 0})})); };
  const std::u16string text = u"select * from AppMenu where mIndex > ?";
  EXPECT_EQ(menuIndexes(fetch(d, u"pTmp", 2, 1, text, list(1)).packet), (std::vector<int64_t>{2, 3}));
  // The same list: the partial fetch goes on.
  EXPECT_EQ(menuIndexes(fetch(d, u"pTmp", 2, 0, u"", list(1)).packet), (std::vector<int64_t>{4, 5}));
  // A different one closes the dataset: the fetch starts again with the new value.
  EXPECT_EQ(menuIndexes(fetch(d, u"pTmp", 2, 0, u"", list(3)).packet), (std::vector<int64_t>{4, 5}));
  // A list whose first element is not an array is an empty list: nothing changes.
  EXPECT_EQ(menuIndexes(fetch(d, u"pTmp", 2, 0, u"", Variant(SafeArray::variants({u"x", 1}))).packet),
            (std::vector<int64_t>{6}));
}

TEST_F(ProviderProtocol, ProviderNamesAndLookup) {
  TDatas d;
  Variant names = d.host().AS_GetProviderNames();
  ASSERT_TRUE(names.isArray());
  const SafeArray& a = names.arrayValue();
  ASSERT_EQ(a.size(), 166u);
  for (size_t i = 1; i < a.size(); ++i)
    EXPECT_LE(text::compareNoCase(a.get(i - 1).bstrValue(), a.get(i).bstrValue()), 0);
  Variant owner;
  EXPECT_TRUE(d.host().AS_DataRequest(u"PAPPUSER", Variant(1)).isNull());
  EXPECT_EQ(failureOf([&] { d.host().AS_GetParams(u"pNoSuch", owner); }), "Provider not exported: pNoSuch");
}

TEST_F(ProviderProtocol, DeclaredParameterOfTheProductionOrders) {
  TDatas d;
  Variant owner;
  auto list = packets::readParamList(d.host().AS_GetParams(u"pSC_ProduceOrderZB", owner));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, u"Z.CJID");
  EXPECT_EQ(list[0].dataType, packets::kParamWideString);
  EXPECT_TRUE(list[0].value.isNull());
  EXPECT_TRUE(d.host().AS_GetParams(u"pAppUser", owner).isNull());
}

TEST_F(ProviderProtocol, ParametersTheClientsTextDeclares) {
  company({"insert into BM (ID, MC) values (1, 'a')", "insert into BM (ID, MC) values (2, 'b')",
           "insert into BM (ID, MC) values (3, 'c')"});
  TDatas d;
  const std::u16string text =
      u"PARAMETERS lo Long, hi Long; select ID, MC from BM where ID between lo and hi order by ID";
  // Declared in the text: the dataset's parameters, in declared order.
  Variant owner;
  fetch(d, u"pTmp", 0, 1, text);
  auto declared = packets::readParamList(d.host().AS_GetParams(u"pTmp", owner));
  ASSERT_EQ(declared.size(), 2u);
  EXPECT_EQ(declared[0].name, u"lo");
  EXPECT_EQ(declared[1].name, u"hi");
  EXPECT_EQ(declared[1].dataType, packets::kParamInteger);
  // Bound through the provider by the client's list.
  packets::ParamList list(2);
  list[0].name = u"lo";
  list[0].value = Variant::i4(2);
  list[0].dataType = packets::kParamInteger;
  list[0].direction = packets::kDirInput;
  list[1] = list[0];
  list[1].name = u"hi";
  list[1].value = Variant::i4(3);
  auto p = decoded(fetch(d, u"pTmp", -1, 1 | 2, text, packets::packParamList(list)).packet);
  ASSERT_EQ(p.rowCount(), 2u);
  EXPECT_EQ(p.i4Value(0, 0), 2);
  EXPECT_EQ(p.i4Value(1, 0), 3);
}

TEST_F(ProviderProtocol, MetadataOfAppUserAndAppUserGroup) {
  company({"insert into YG (ID, XM) values (7, '张三')",
           "insert into appuser (ID, uCode, uName, YGID) values (1, 'u1', 'admin', 7)",
           "insert into BM (ID, MC) values (3, '财务部')",
           "insert into AppUserGroup (ID, gName, bmid) values (1, 'g', 3)"});
  TDatas d;
  auto user = decoded(fetch(d, u"pAppUser", -1).packet);
  EXPECT_EQ(user.columns()[user.columnIndex("ID")].provFlags, std::optional<uint8_t>(7));
  EXPECT_EQ(user.columns()[user.columnIndex("uCode")].provFlags, std::optional<uint8_t>(1));
  EXPECT_EQ(user.columns()[user.columnIndex("aYGMC")].provFlags, std::optional<uint8_t>(0));
  EXPECT_EQ(user.attributes().primaryKey, (std::vector<uint16_t>{1}));
  EXPECT_EQ(user.wide(0, static_cast<size_t>(user.columnIndex("aYGMC"))), u"张三");
  EXPECT_EQ(user.columns()[user.columnIndex("uName")].width, std::optional<int32_t>(40));

  auto group = decoded(fetch(d, u"pAppUserGroup", -1).packet);
  EXPECT_FALSE(group.columns()[group.columnIndex("ID")].provFlags.has_value());
  EXPECT_TRUE(group.attributes().primaryKey.empty());
  EXPECT_EQ(group.wide(0, static_cast<size_t>(group.columnIndex("mc"))), u"财务部");
}

TEST_F(ProviderProtocol, RowsOnlyPacketsCarryNoAttributes) {
  menus(4);
  TDatas d;
  fetch(d, u"pAppMenu", 2);
  auto p = decoded(fetch(d, u"pAppMenu", 2, 0).packet);
  EXPECT_EQ(p.rowCount(), 2u);
  for (const auto& c : p.columns()) EXPECT_FALSE(c.provFlags.has_value());
}

TEST_F(ProviderProtocol, XmlPacketsOnRequest) {
  menus(1);
  TDatas d;
  auto f = fetch(d, u"pAppMenu", -1, 1 | 4 | 8);
  auto bytes = packets::packetBytes(f.packet);
  std::string head(bytes.begin(), bytes.begin() + 5);
  EXPECT_EQ(head, "<?xml");
  EXPECT_EQ(decoded(f.packet).encoding(), packets::Encoding::XmlUtf8);
}

TEST_F(ProviderProtocol, ValuesAreServedAsTheirFieldsSay) {
  company(
      {"insert into AppLog (uName, cName, CZ, RQ, SJ) values "
       "('一二三四五六七八九十甲', 'c', 'x', #2008-08-30 14:25:00#, '1')"});
  TDatas d;
  auto p = decoded(fetch(d, u"pAppLog", -1).packet);
  // A date field over a date-time column serves the day alone.
  EXPECT_EQ(p.realValue(0, static_cast<size_t>(p.columnIndex("RQ"))), (DateTime{2008, 8, 30}.toOleDate()));
  // A narrow string of Size 20 serves at most 20 bytes, never half a character.
  std::string_view name = p.narrow(0, static_cast<size_t>(p.columnIndex("uName")));
  EXPECT_EQ(name.size(), 20u);
  EXPECT_EQ(text::ansiToWide(name), u"一二三四五六七八九十");
}

TEST_F(ProviderProtocol, MemoIsFetchedOnDemandByRowRequest) {
  company(
      {"insert into Appselect (DATASET, FIELDNAME, AUTOUPDATE, DATASELECT, DefaultRow) "
       "values ('Kh', 'MC', True, 'select * from KH', 1)"});
  TDatas d;
  auto f = fetch(d, u"pAppSelect", -1);
  auto p = decoded(f.packet);
  size_t memo = static_cast<size_t>(p.columnIndex("DATASELECT"));
  EXPECT_EQ(p.state(0, memo), packets::ValueState::NotFetched);

  // The client's row: the record as read, memo absent.
  Variant owner;
  Variant row = d.host().AS_RowRequest(u"pAppSelect", f.packet, 2, owner);
  auto r = decoded(row);
  ASSERT_EQ(r.rowCount(), 1u);
  EXPECT_EQ(r.value(0, memo).toText(), u"select * from KH");
  EXPECT_FALSE(d.findDataset("AppSelect")->isOpen());
}

TEST_F(ProviderProtocol, RowRequestInTheMiddleOfASliceClosesTheDataset) {
  menus(6);
  TDatas d;
  auto first = fetch(d, u"pAppMenu", 2);
  ASSERT_TRUE(d.findDataset("AppMenu")->isOpen());
  Variant owner;
  d.host().AS_RowRequest(u"pAppMenu", first.packet, 2, owner);
  EXPECT_FALSE(d.findDataset("AppMenu")->isOpen());
  EXPECT_EQ(menuIndexes(fetch(d, u"pAppMenu", 2, 0).packet), (std::vector<int64_t>{1, 2}));
  // AppMenu has no key column: a record request cannot locate.
  EXPECT_EQ(failureOf([&] { d.host().AS_RowRequest(u"pAppMenu", first.packet, 1, owner); }),
            "Unable to find record.  No key specified");
  EXPECT_FALSE(d.findDataset("AppMenu")->isOpen());
}

TEST_F(ProviderProtocol, RecordRequestFillsTheRowFromTheDatabase) {
  company({"insert into appuser (ID, uCode, uName) values (1, 'u1', 'old')"});
  TDatas d;
  auto f = fetch(d, u"pAppUser", -1);
  company({"update appuser set uName = 'new' where ID = 1"});
  Variant owner;
  auto r = decoded(d.host().AS_RowRequest(u"pAppUser", f.packet, 1, owner));
  EXPECT_EQ(r.wide(0, static_cast<size_t>(r.columnIndex("uName"))), u"new");
  company({"delete from appuser"});
  EXPECT_EQ(failureOf([&] { d.host().AS_RowRequest(u"pAppUser", f.packet, 1, owner); }),
            "Record not found or changed by another user");
}

}  // namespace
