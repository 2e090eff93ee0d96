// Idatas by dispatch id: arguments in parameter order, out and in-out
// values written back, failures as a status with the class's error
// information.
#include "services/datas_dispatch.h"

#include <gtest/gtest.h>

#include "service_test_support.h"
#include "services/quib_type_library.h"

using namespace rvz;
using namespace rvz::services;
using namespace rvz::services::testing;

namespace {

class DatasByDispid : public ServiceHome {
 protected:
  HRESULT call(DatasDispatch& o, const char* name, std::vector<Variant>& args, Variant& result, ErrorInfo& e) {
    remoting::DispatchIdentity id{&services::datasClass(), &services::idatasInterface()};
    const remoting::MethodDesc* m = services::idatasInterface().findMethod(name);
    EXPECT_NE(m, nullptr) << name;
    auto check = remoting::prepareCall(id, m->dispid, args, e);
    if (failed(check.hr)) return check.hr;
    return remoting::runCall(id, o, *check.method, args, result, e);
  }
};

TEST_F(DatasByDispid, FetchWithOutAndInOutArguments) {
  company(
      {"insert into AppMenu (mName, mIndex) values ('a', 1)", "insert into AppMenu (mName, mIndex) values ('b', 2)"});
  DatasDispatch o;
  std::vector<Variant> args = {Variant(u"pAppMenu"), Variant(1), Variant(),        Variant(1),
                               Variant(u""),         Variant(),  Variant(u"owner")};
  Variant result;
  ErrorInfo e;
  ASSERT_EQ(call(o, "AS_GetRecords", args, result, e), S_OK) << text::wideToUtf8(e.description);
  EXPECT_EQ(args[2].intValue(), 1);          // RecsOut
  EXPECT_TRUE(args[5].isNull());             // Params: no output parameters
  EXPECT_EQ(args[6].bstrValue(), u"owner");  // OwnerData comes back unchanged
  EXPECT_EQ(decoded(result).rowCount(), 1u);
}

TEST_F(DatasByDispid, FailuresCarryTheClassAndTheText) {
  DatasDispatch o;
  std::vector<Variant> args = {Variant(u"pNothing"), Variant()};
  Variant result;
  ErrorInfo e;
  HRESULT hr = call(o, "AS_GetParams", args, result, e);
  EXPECT_TRUE(failed(hr));
  EXPECT_EQ(e.description, u"Provider not exported: pNothing");
  EXPECT_EQ(e.source, u"Quib.datas");
  EXPECT_EQ(e.interfaceId, std::string(services::idatasInterface().iid));
  // The object stays usable.
  std::vector<Variant> none;
  EXPECT_EQ(call(o, "GetServerDate", none, result, e), S_OK);
  EXPECT_EQ(result.bstrValue().size(), 10u);
}

TEST_F(DatasByDispid, AFailingCreationHandlerIsReportedAndTheObjectServes) {
  std::vector<std::string> reported;
  DatasDispatch o([&](const std::string& m) { reported.push_back(m); },
                  [](TDatas&) { throw std::runtime_error("the account registry is unreadable"); });
  EXPECT_EQ(reported, std::vector<std::string>{"the account registry is unreadable"});
  std::vector<Variant> none;
  Variant result;
  ErrorInfo e;
  EXPECT_EQ(call(o, "GetServerDate", none, result, e), S_OK);

  // A handler that runs cleanly reports nothing.
  reported.clear();
  DatasDispatch fine([&](const std::string& m) { reported.push_back(m); });
  EXPECT_TRUE(reported.empty());
}

TEST_F(DatasByDispid, ServiceMethodsByName) {
  DatasDispatch o;
  Variant result;
  ErrorInfo e;
  std::vector<Variant> none;
  ASSERT_EQ(call(o, "GetAccounts", none, result, e), S_OK);
  EXPECT_EQ(result.intValue(), -1);
  std::vector<Variant> set = {Variant(0), Variant(u""), Variant(u"Sample"), Variant(u""), Variant(u"")};
  ASSERT_EQ(call(o, "ConnectAct", set, result, e), S_OK);
  EXPECT_EQ(result.intValue(), 0);
  std::vector<Variant> filter = {Variant(SafeArray::variants({Variant(u"appmenu"), Variant(u"mIndex > 1")}))};
  EXPECT_EQ(call(o, "SetFilter", filter, result, e), S_OK);
  EXPECT_NE(o.datas().findDataset("AppMenu")->query().filterText().find("mIndex"), std::string::npos);
}

}  // namespace
