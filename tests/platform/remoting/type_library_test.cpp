// The type library answers names and dispatch ids the way late-bound
// clients use them, and the dispatch checks refuse what the type-library
// dispatch of the platform refuses.
#include "platform/remoting/type_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "platform/remoting/dispatch.h"
#include "platform/remoting/hresults.h"
#include "services/quib_type_library.h"

using namespace rvz;
using namespace rvz::remoting;
using namespace rvz::services;

namespace {

DispatchIdentity datasIdentity() { return {&datasClass(), datasClass().iface}; }

}  // namespace

TEST(TypeLibrary, ClassesAreFoundByProgIdOrGuidInAnyCase) {
  const TypeLibraryDesc& lib = quibTypeLibrary();
  EXPECT_EQ(lib.findClass("Quib.datas"), &datasClass());
  EXPECT_EQ(lib.findClass("QUIB.DATAS"), &datasClass());
  EXPECT_EQ(lib.findClass("quib.datasbb"), &datasBbClass());
  std::string clsid(datasBbClass().clsid);
  EXPECT_EQ(lib.findClass(clsid), &datasBbClass());
  std::string bare = clsid.substr(1, 36);
  for (auto& c : bare) c = static_cast<char>(std::tolower(c));
  EXPECT_EQ(lib.findClass(bare), &datasBbClass());
  EXPECT_EQ(lib.findClass("Quib.datasX"), nullptr);
  EXPECT_EQ(lib.findClass("datas"), nullptr);
  EXPECT_EQ(lib.findClass("{00000000-0000-0000-0000-000000000000}"), nullptr);
}

TEST(TypeLibrary, ProgIdsAndInterfacesFollowTheLibrary) {
  const TypeLibraryDesc& lib = quibTypeLibrary();
  for (const ClassDesc* c : lib.classes) {
    EXPECT_EQ(c->progId, std::string(lib.name) + "." + std::string(c->name));
    ASSERT_NE(c->iface, nullptr);
    EXPECT_EQ(lib.findInterface(c->iface->iid), c->iface);
    EXPECT_EQ(lib.findInterface(c->iface->name), c->iface);
    // Every service interface is a provider host.
    EXPECT_TRUE(c->iface->derivesFrom(appServerInterface().iid));
    EXPECT_TRUE(canonicalGuid(c->clsid).has_value());
    EXPECT_EQ(*canonicalGuid(c->clsid), c->clsid);
  }
  EXPECT_FALSE(idatasInterface().derivesFrom(idatasBbInterface().iid));
}

TEST(TypeLibrary, DispatchIdsAreUniqueWithinEachInterface) {
  for (const InterfaceDesc* i : quibTypeLibrary().interfaces) {
    std::vector<int32_t> seen;
    for (const InterfaceDesc* j = i; j; j = j->base)
      for (const MethodDesc& m : j->methods) {
        EXPECT_EQ(std::count(seen.begin(), seen.end(), m.dispid), 0) << i->name << " " << m.name;
        seen.push_back(m.dispid);
        EXPECT_EQ(i->findMethod(m.dispid), &m);
        EXPECT_EQ(i->findMethod(m.name), &m);
      }
  }
}

TEST(TypeLibrary, InheritedMembersResolveThroughEachServiceInterface) {
  const MethodDesc* viaDatas = idatasInterface().findMethod("as_getrecords");
  const MethodDesc* viaBb = idatasBbInterface().findMethod("AS_GETRECORDS");
  ASSERT_NE(viaDatas, nullptr);
  EXPECT_EQ(viaDatas, viaBb);
  EXPECT_EQ(viaDatas, appServerInterface().findMethod(viaDatas->dispid));
  // IDatasBb offers SetFilter but none of the data service's own methods.
  EXPECT_NE(idatasBbInterface().findMethod("SetFilter"), nullptr);
  EXPECT_EQ(idatasBbInterface().findMethod("ConnectAct"), nullptr);
  EXPECT_EQ(idatasBbInterface().findMethod(idatasInterface().findMethod("BackupData")->dispid), nullptr);
}

TEST(TypeLibrary, CanonicalGuidForms) {
  struct Case {
    const char* text;
    const char* canonical;  // nullptr: refused
  } cases[] = {
      {"{1aefcc20-7a24-11d2-98b0-c69beb4b5b6d}", "{1AEFCC20-7A24-11D2-98B0-C69BEB4B5B6D}"},
      {"1AEFCC20-7A24-11D2-98B0-C69BEB4B5B6D", "{1AEFCC20-7A24-11D2-98B0-C69BEB4B5B6D}"},
      {"{1AEFCC20-7A24-11D2-98B0-C69BEB4B5B6D", nullptr},
      {"1AEFCC20-7A24-11D2-98B0-C69BEB4B5B6D}", nullptr},
      {"{1AEFCC207A2411D298B0C69BEB4B5B6D}", nullptr},
      {"{1AEFCC20-7A24-11D2-98B0-C69BEB4B5B6G}", nullptr},
      {"{1AEFCC20_7A24-11D2-98B0-C69BEB4B5B6D}", nullptr},
      {"", nullptr},
      {"Quib.datas", nullptr},
  };
  for (const auto& c : cases) {
    auto got = canonicalGuid(c.text);
    if (c.canonical) {
      ASSERT_TRUE(got.has_value()) << c.text;
      EXPECT_EQ(*got, c.canonical);
    } else {
      EXPECT_FALSE(got.has_value()) << c.text;
    }
  }
}

TEST(Dispatch, NamesResolveToIdsAndParameterPositions) {
  std::vector<int32_t> ids;
  ErrorInfo error;
  std::vector<std::string> names{"as_getrecords", "COUNT", "params", "OwnerData"};
  ASSERT_EQ(idsOfNames(datasIdentity(), names, ids, error), S_OK);
  const MethodDesc* m = idatasInterface().findMethod("AS_GetRecords");
  EXPECT_EQ(ids[0], m->dispid);
  EXPECT_EQ(m->params[ids[1]].name, "Count");
  EXPECT_EQ(m->params[ids[2]].name, "Params");
  EXPECT_EQ(m->params[ids[3]].name, "OwnerData");

  std::vector<std::string> unknownMember{"GetRecords"};
  EXPECT_EQ(idsOfNames(datasIdentity(), unknownMember, ids, error), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids, std::vector<int32_t>{-1});
  EXPECT_EQ(error.source, u"Quib.datas");
  EXPECT_NE(error.description.find(u"GetRecords"), std::u16string::npos);

  std::vector<std::string> unknownParam{"ConnectAct", "Server", "user"};
  EXPECT_EQ(idsOfNames(datasIdentity(), unknownParam, ids, error), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[1], -1);
  EXPECT_GE(ids[2], 0);
  EXPECT_NE(error.description.find(u"Server"), std::u16string::npos);
}

// One case per refusal or conversion of the argument check.
TEST(Dispatch, ArgumentChecks) {
  const int32_t getRecords = idatasInterface().findMethod("AS_GetRecords")->dispid;
  const int32_t connectAct = idatasInterface().findMethod("ConnectAct")->dispid;
  struct Case {
    const char* what;
    int32_t dispid;
    std::vector<Variant> args;
    HRESULT hr;
    int32_t argError;
    const char16_t* inDescription;
  };
  std::vector<Case> cases = {
      {"unknown dispatch id", 303, {}, DISP_E_MEMBERNOTFOUND, -1, u"303"},
      {"too few arguments", getRecords, {Variant(u"pKh")}, DISP_E_BADPARAMCOUNT, -1, u"takes 7"},
      {"too many arguments", 302, {Variant(1)}, DISP_E_BADPARAMCOUNT, -1, u"GetServerDate"},
      {"text for a count",
       getRecords,
       {Variant(u"pKh"), Variant(u"many"), Variant(), Variant(1), Variant(u""), Variant::null(), Variant()},
       DISP_E_TYPEMISMATCH,
       1,
       u"argument 2 (Count)"},
      {"null for a provider name",
       getRecords,
       {Variant::null(), Variant(1), Variant(), Variant(1), Variant(u""), Variant(), Variant()},
       DISP_E_TYPEMISMATCH,
       0,
       u"ProviderName"},
      {"a count out of range",
       getRecords,
       {Variant(u"pKh"), Variant(1e12), Variant(), Variant(1), Variant(u""), Variant(), Variant()},
       DISP_E_OVERFLOW,
       1,
       u"Count"},
      {"an array for a name",
       connectAct,
       {Variant(1), Variant(SafeArray::vector(VT_I4, 2)), Variant(u""), Variant(u""), Variant(u"")},
       DISP_E_TYPEMISMATCH,
       1,
       u"ServerName"},
  };
  for (auto& c : cases) {
    ErrorInfo error;
    CallCheck check = prepareCall(datasIdentity(), c.dispid, c.args, error);
    EXPECT_EQ(check.hr, c.hr) << c.what;
    EXPECT_EQ(check.argError, c.argError) << c.what;
    EXPECT_EQ(error.hresult, c.hr) << c.what;
    EXPECT_EQ(error.source, u"Quib.datas") << c.what;
    EXPECT_EQ(error.interfaceId, idatasInterface().iid) << c.what;
    EXPECT_NE(error.description.find(c.inDescription), std::u16string::npos)
        << c.what << ": " << text::wideToUtf8(error.description);
  }
}

TEST(Dispatch, ArgumentsBecomeTheirDeclaredKinds) {
  const int32_t getRecords = idatasInterface().findMethod("AS_GetRecords")->dispid;
  std::vector<Variant> args{Variant(u"pKh"), Variant(u"25"),      Variant(u"ignored"),
                            Variant(1.0),    Variant(int32_t{7}), Variant(SafeArray::vector(VT_VARIANT, 1)),
                            Variant(true)};
  ErrorInfo error;
  CallCheck check = prepareCall(datasIdentity(), getRecords, args, error);
  ASSERT_EQ(check.hr, S_OK) << text::wideToUtf8(error.description);
  EXPECT_EQ(args[1], Variant::i4(25));
  // An out parameter starts empty of its kind, whatever the caller put there.
  EXPECT_EQ(args[2], Variant::i4(0));
  EXPECT_EQ(args[3], Variant::i4(1));
  EXPECT_EQ(args[4], Variant(u"7"));
  // Variant parameters pass as they are.
  EXPECT_TRUE(args[5].isArray());
  EXPECT_EQ(args[6], Variant(true));
}

namespace {

class Scripted : public DispatchObject {
 public:
  std::function<HRESULT(std::vector<Variant>&, Variant&, ErrorInfo&)> body;
  HRESULT invoke(int32_t, std::vector<Variant>& args, Variant& result, ErrorInfo& error) override {
    return body(args, result, error);
  }
};

}  // namespace

TEST(Dispatch, RunCallCompletesTheErrorInformation) {
  const MethodDesc& setFilter = *idatasInterface().findMethod("SetFilter");
  Scripted object;
  std::vector<Variant> args{Variant(u"x")};
  Variant result;
  ErrorInfo error;

  object.body = [](std::vector<Variant>&, Variant&, ErrorInfo&) { return E_FAIL; };
  EXPECT_EQ(runCall(datasIdentity(), object, setFilter, args, result, error), E_FAIL);
  EXPECT_EQ(error.hresult, E_FAIL);
  EXPECT_EQ(error.source, u"Quib.datas");
  EXPECT_EQ(error.interfaceId, idatasInterface().iid);
  EXPECT_EQ(error.description, u"Unspecified error");

  object.body = [](std::vector<Variant>&, Variant&, ErrorInfo&) -> HRESULT {
    throw std::runtime_error("Provider not exported: pNone");
  };
  EXPECT_EQ(runCall(datasIdentity(), object, setFilter, args, result, error), E_UNEXPECTED);
  EXPECT_EQ(error.description, u"Provider not exported: pNone");

  object.body = [](std::vector<Variant>&, Variant& r, ErrorInfo& e) {
    e.source = u"Elsewhere";
    e.description = u"own text";
    r = Variant(1);
    return DISP_E_TYPEMISMATCH;
  };
  EXPECT_EQ(runCall(datasIdentity(), object, setFilter, args, result, error), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(error.source, u"Elsewhere");
  EXPECT_EQ(error.description, u"own text");

  // A method without a return value returns Empty, whatever the object wrote.
  object.body = [](std::vector<Variant>&, Variant& r, ErrorInfo&) {
    r = Variant(5);
    return S_OK;
  };
  EXPECT_EQ(runCall(datasIdentity(), object, setFilter, args, result, error), S_OK);
  EXPECT_TRUE(result.isEmpty());

  object.body = [](std::vector<Variant>& a, Variant&, ErrorInfo&) {
    a.clear();
    return S_OK;
  };
  EXPECT_EQ(runCall(datasIdentity(), object, setFilter, args, result, error), E_UNEXPECTED);
}
