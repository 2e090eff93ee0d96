// quib run: variants in JSON, reading scripts, and running them against a
// server on a loopback port, in-process and as the quib program.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/quib_json.h"
#include "client/quib_run.h"
#include "test_objects.h"

using namespace rvz;
using namespace rvz::client;
using namespace rvz::remoting::testing;
using json = nlohmann::json;

namespace {

std::string refusal(const std::function<void()>& f) {
  try {
    f();
  } catch (const ComError& e) {
    EXPECT_EQ(e.hresult(), E_INVALIDARG);
    return e.what();
  }
  return "(accepted)";
}

}  // namespace

TEST(QuibJson, VariantForms) {
  SafeArray grid(VT_I2, {{1, 2}, {0, 2}});
  for (size_t i = 0; i < 4; ++i) grid.set(i, Variant::i2(static_cast<int16_t>(i)));
  struct Case {
    const char* in;
    Variant want;
    const char* out;  // the form printed back
  } cases[] = {
      {"null", Variant::null(), "null"},
      {R"({"empty": true})", Variant(), R"({"empty":true})"},
      {"42", Variant::i4(42), "42"},
      {"-2147483648", Variant::i4(INT32_MIN), "-2147483648"},
      {"2147483648", Variant::i8(2147483648LL), R"({"i8":2147483648})"},
      {"18446744073709551615", Variant::r8(18446744073709551615.0), "1.8446744073709552e+19"},
      {"1.5", Variant::r8(1.5), "1.5"},
      {"2.0", Variant::r8(2.0), "2.0"},
      {R"("进销存")", Variant(u"进销存"), R"("进销存")"},
      {"true", Variant(true), "true"},
      {R"({"i2": -5})", Variant::i2(-5), R"({"i2":-5})"},
      {R"({"i4": 5})", Variant::i4(5), "5"},
      {R"({"ui1": 255})", Variant::ui1(255), R"({"ui1":255})"},
      {R"({"r8": 1.5})", Variant::r8(1.5), "1.5"},
      {R"({"r8": "nan"})", Variant::r8(std::nan("")), R"({"r8":"nan"})"},
      {R"({"r4": 0.5})", Variant::r4(0.5f), R"({"r4":0.5})"},
      {R"({"cy": "12.3400"})", Variant::cy(Currency{123400}), R"({"cy":"12.34"})"},
      {R"({"decimal": "123.45"})", Variant::decimal(Decimal::parse("123.45")), R"({"decimal":"123.45"})"},
      {R"({"date": "2008-08-30T14:25:00"})", Variant::date(DateTime{2008, 8, 30, 14, 25, 0, 0}),
       R"({"date":"2008-08-30T14:25:00"})"},
      {R"({"date": "2008-08-30"})", Variant::date(DateTime{2008, 8, 30, 0, 0, 0, 0}),
       R"({"date":"2008-08-30T00:00:00"})"},
      {R"({"date": "2008-08-30 14:25:00.250"})", Variant::date(DateTime{2008, 8, 30, 14, 25, 0, 250}),
       R"({"date":"2008-08-30T14:25:00.250"})"},
      {R"({"bool": false})", Variant(false), "false"},
      {R"({"bytes": "AAH+/w=="})", Variant(SafeArray::bytes({0, 1, 254, 255})), R"({"bytes":"AAH+/w=="})"},
      {R"({"bytes": ""})", Variant(SafeArray::bytes({})), R"({"bytes":""})"},
      {R"({"error": -2147352572})", Variant::error(static_cast<int32_t>(0x80020004)), R"({"error":-2147352572})"},
      {R"([1, "a", [null]])",
       Variant(SafeArray::variants({Variant(1), Variant(u"a"), Variant(SafeArray::variants({Variant::null()}))})),
       R"([1,"a",[null]])"},
      {"[]", Variant(SafeArray::variants({})), "[]"},
      {R"({"array": {"type": "i2", "bounds": [[1, 2], [0, 2]], "items": [0, 1, 2, 3]}})", Variant(grid),
       R"({"array":{"type":"i2","bounds":[[1,2],[0,2]],"items":[{"i2":0},{"i2":1},{"i2":2},{"i2":3}]}})"},
  };
  for (const auto& c : cases) {
    Variant got = variantFromJson(json::parse(c.in), "arg");
    if (c.want.type() == VT_R8 && std::isnan(c.want.realValue())) {
      EXPECT_TRUE(std::isnan(got.realValue())) << c.in;
    } else {
      EXPECT_EQ(got, c.want) << c.in << " gave " << varTypeName(got.vt());
    }
    EXPECT_EQ(variantToJson(got).dump(), c.out) << c.in;
    // What is printed reads back as the same variant.
    Variant again = variantFromJson(json::parse(c.out), "again");
    if (!(got.type() == VT_R8 && std::isnan(got.realValue()))) {
      EXPECT_EQ(again, got) << c.out;
    }
  }
}

TEST(QuibJson, RefusedFormsNameThePlaceAndTheFault) {
  struct Case {
    const char* in;
    const char* why;
  } cases[] = {
      {R"({"empty": false})", "arg.empty: write {\"empty\": true}"},
      {R"({"i2": 40000})", "arg.i2: 40000 is out of range"},
      {R"({"ui1": -1})", "arg.ui1: -1 is out of range"},
      {R"({"i4": 1.5})", "arg.i4: expected an integer"},
      {R"({"cy": "12,5"})", "arg.cy:"},
      {R"({"date": "2008-02-30"})", "not a valid date"},
      {R"({"date": "30.08.2008"})", "not a date such as"},
      {R"({"date": "2008-08-30T14:25:00Z"})", "not a date such as"},
      {R"({"date": "2008-08-30T14:25:00.250Z"})", "has text after the date"},
      {R"({"bytes": "AAH"})", "groups of four"},
      {R"({"bytes": "A=AA"})", "not base64 at character 2"},
      {R"({"bytes": "AA=A"})", "not base64 at character 4"},
      {R"({"i2": 1, "i4": 2})", "exactly one key"},
      {R"({"money": 1})", "unknown variant form \"money\""},
      {R"({"packet": {}})", "arg.packet.columns: expected an array"},
      {R"({"array": {"type": "i4", "bounds": [[0, 3]], "items": [1, 2]}})", "call for 3 items, found 2"},
      {R"({"array": {"type": "i4", "bounds": [[0, 65536], [0, 65536]], "items": []}})", "found 0"},
      {R"({"array": {"type": "i9", "bounds": [[0, 1]], "items": [1]}})", "unknown element kind"},
      {R"({"array": {"type": "i2", "bounds": [[0, 1]], "items": ["x"]}})", "items[0]: does not fit"},
      {R"({"array": {"type": "i4", "bounds": [[2147483647, 2]], "items": [1, 2]}})", "past the largest index"},
  };
  for (const auto& c : cases) {
    std::string e = refusal([&] { variantFromJson(json::parse(c.in), "arg"); });
    EXPECT_NE(e.find(c.why), std::string::npos) << c.in << " -> " << e;
  }
  std::string deep = std::string(40, '[') + "1" + std::string(40, ']');
  std::string e = refusal([&] { variantFromJson(json::parse(deep), "arg"); });
  EXPECT_NE(e.find("nested deeper than 32"), std::string::npos) << e;
}

TEST(QuibScript, FormsOfAScript) {
  const char* array = R"([{"create": "Quib.datas", "as": "d"},
                           {"call": "d", "method": "AS_GetRecords", "args": ["pKh", -1, null, 1, "", null, null]},
                           {"release": "d"}])";
  auto steps = parseScript(array);
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].kind, Step::Create);
  EXPECT_EQ(steps[0].as, "d");
  EXPECT_EQ(steps[1].method, "AS_GetRecords");
  EXPECT_EQ(steps[1].args.size(), 7u);
  EXPECT_EQ(steps[1].args[1], Variant(-1));
  EXPECT_EQ(steps[2].kind, Step::Release);

  auto lines =
      parseScript("{\"lock\": \"Quib.datas\"}\n\n  \r\n{\"sleep\": 0.25}\n{\"call\": \"x\", \"dispid\": 302}\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].seconds, 0.25);
  EXPECT_EQ(lines[2].dispid, 302);
  EXPECT_TRUE(lines[2].args.empty());

  auto one = parseScript("{\n  \"create\": \"Quib.DatasBb\",\n  \"outer\": true\n}");
  ASSERT_EQ(one.size(), 1u);
  EXPECT_TRUE(one[0].outer);
  EXPECT_EQ(one[0].as, "Quib.DatasBb");
}

TEST(QuibScript, RefusedScriptsSayWhereAndWhy) {
  struct Case {
    const char* script;
    const char* why;
  } cases[] = {
      {"{\"create\": \"A\"}\n{\"call\": }\n", "line 2: not JSON"},
      {"[{\"create\": \"A\"}, 5]", "step 2: a step is a JSON object"},
      {"[{\"frobnicate\": 1}]", "step 1: no step kind"},
      {"[{\"create\": \"A\", \"release\": \"A\"}]", "both"},
      {"[{\"create\": \"A\", \"method\": \"x\"}]", "\"method\" does not belong in a create step"},
      {"[{\"call\": \"d\"}]", "either \"method\" or \"dispid\""},
      {"[{\"call\": \"d\", \"method\": \"m\", \"dispid\": 1}]", "either \"method\" or \"dispid\""},
      {"[{\"call\": \"d\", \"dispid\": 4294967296}]", "32-bit integer"},
      {"[{\"call\": \"d\", \"method\": \"m\", \"args\": {}}]", "\"args\" takes an array"},
      {"[{\"call\": \"d\", \"method\": \"m\", \"args\": [1, {\"i2\": 1e9}]}]", "step 1: args[1].i2"},
      {"[{\"sleep\": -1}]", "from 0 to 86400"},
      {"[{\"release\": \"\"}]", "non-empty text"},
      {"[{\"create\": \"A\", \"outer\": 1}]", "true or false"},
      {"42", "script: expected an array of steps"},
  };
  for (const auto& c : cases) {
    std::string e = refusal([&] { parseScript(c.script); });
    EXPECT_NE(e.find(c.why), std::string::npos) << c.script << " -> " << e;
  }
}

TEST(QuibRun, StepsAnswerOneLineEach) {
  TestServer s;
  Client c(s.clientOptions());
  auto steps = parseScript(R"([
    {"create": "Quib.datas", "as": "d"},
    {"call": "d", "method": "as_getrecords", "args": ["pKh", 25, null, 1, "select 1", null, {"i2": 7}]},
    {"call": "d", "dispid": 302},
    {"call": "d", "method": "AS_GetRecords", "args": ["pNone", 1, null, 1, "", null, null]},
    {"call": "d", "method": "AS_GetRecords", "args": ["pKh"]},
    {"call": "nobody", "method": "GetServerDate"},
    {"create": "Quib.datas", "as": "agg", "outer": true},
    {"lock": "Quib.datas"},
    {"sleep": 0},
    {"unlock": "Quib.datas"},
    {"unlock": "Quib.datas"},
    {"release": "d"},
    {"release": "d"}
  ])");
  std::ostringstream out;
  runSteps(steps, c, out);
  std::vector<json> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  ASSERT_EQ(lines.size(), steps.size()) << out.str();
  const json expected[] = {
      json::parse(R"({"ok": true})"),
      json::parse(R"({"ok": true, "result": "packet:pKh", "out": [25, ["pKh", "select 1"], {"i2": 7}]})"),
      json::parse(R"({"ok": true, "result": "2008-08-30", "out": []})"),
      json::parse(R"({"ok": false, "hresult": "0x8000FFFF", "source": "Quib.datas",
                      "description": "Provider not exported: pNone"})"),
      nullptr,  // bad parameter count, checked below
      nullptr,  // no such object
      nullptr,  // aggregation
      json::parse(R"({"ok": true})"),
      json::parse(R"({"ok": true})"),
      json::parse(R"({"ok": true})"),
      nullptr,  // unlock without a lock
      json::parse(R"({"ok": true})"),
      nullptr,  // released already
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!expected[i].is_null()) {
      EXPECT_EQ(lines[i], expected[i]) << "step " << i + 1;
    }
  }
  EXPECT_EQ(lines[4]["hresult"], "0x8002000E");
  EXPECT_EQ(lines[5]["hresult"], "0x80004003");
  EXPECT_NE(lines[5]["description"].get<std::string>().find("nobody"), std::string::npos);
  EXPECT_EQ(lines[6]["hresult"], "0x80040110");
  EXPECT_EQ(lines[10]["hresult"], "0x80004005");
  EXPECT_EQ(lines[12]["hresult"], "0x80004003");
  // The first line comes first: "ok" leads every answer.
  EXPECT_EQ(out.str().rfind("{\"ok\":", 0), 0u);
}

namespace {

struct Ran {
  int code;
  std::string out;
  std::string err;
};

std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

Ran runQuib(const std::string& endpoint, const std::string& script, const std::string& flags = "") {
  auto dir = std::filesystem::temp_directory_path();
  std::string stem = "rvz-quib-" + std::to_string(getpid());
  auto file = dir / (stem + ".json");
  auto errFile = dir / (stem + ".err");
  std::ofstream(file) << script;
  // The gRPC libraries are not built for ThreadSanitizer; under it, their
  // reports would only blur what quib itself prints.
  std::string cmd = "TSAN_OPTIONS=report_bugs=0 RVZ_ENDPOINT=" + endpoint + " " RVZ_QUIB " run " + flags + " " +
                    file.string() + " 2>" + errFile.string();
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  int status = pclose(p);
  std::string err = slurp(errFile);
  std::filesystem::remove(file);
  std::filesystem::remove(errFile);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, err};
}

}  // namespace

TEST(QuibRun, TheProgramExitsByWhetherTheScriptRan) {
  TestServer s;
  Ran ok = runQuib(s.server->address(),
                   "{\"create\": \"Test.Echo\", \"as\": \"e\"}\n"
                   "{\"call\": \"e\", \"dispid\": 2, \"args\": [40, 2]}\n"
                   "{\"call\": \"e\", \"method\": \"Fail\", \"args\": [-2147467259, \"nope\"]}\n");
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_EQ(ok.out,
            "{\"ok\":true}\n"
            "{\"ok\":true,\"result\":42,\"out\":[]}\n"
            "{\"ok\":false,\"hresult\":\"0x80004005\",\"source\":\"Test.Echo\",\"description\":\"nope\"}\n");
  // The object held at the end went with the program.
  EXPECT_TRUE(eventually([&] { return s.runtime->objectCount() == 0; }));
  EXPECT_EQ(s.tracker->destroyedCount(), 1);

  Ran unreadable = runQuib(s.server->address(), "{\"create\": \"Test.Echo\"}\n{oops}\n");
  EXPECT_EQ(unreadable.code, 2);
  EXPECT_TRUE(unreadable.out.empty());
  EXPECT_NE(unreadable.err.find("line 2: not JSON"), std::string::npos) << unreadable.err;
  EXPECT_EQ(s.tracker->constructedCount(), 1);  // nothing ran

  // A port nobody listens on: the one this server had before it stopped.
  std::string gone;
  {
    TestServer other;
    gone = other.server->address();
  }
  Ran unreachable = runQuib(gone, "[{\"create\": \"Test.Echo\"}]");
  EXPECT_EQ(unreachable.code, 3);
  EXPECT_NE(unreachable.err.find("Cannot open a session with " + gone), std::string::npos) << unreachable.err;
}

TEST(QuibRun, FlagsOverrideTheEnvironmentFailCountsFailuresAndDescribeShowsTheInterface) {
  TestServer s;
  std::string gone;
  {
    TestServer other;
    gone = other.server->address();
  }
  const std::string script =
      "{\"create\": \"Test.Echo\", \"as\": \"e\"}\n"
      "{\"describe\": \"e\"}\n"
      "{\"describe\": \"nobody\"}\n"
      "{\"call\": \"e\", \"dispid\": 2, \"args\": [40, 2]}\n";
  // The environment names a dead endpoint; the flag wins.
  Ran failing = runQuib(gone, script, "--fail --endpoint " + s.server->address());
  EXPECT_EQ(failing.code, 4) << failing.err;
  EXPECT_NE(failing.err.find("1 of 4 steps failed"), std::string::npos) << failing.err;
  std::vector<json> lines;
  std::istringstream in(failing.out);
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  ASSERT_EQ(lines.size(), 4u) << failing.out;
  EXPECT_EQ(lines[1]["ok"], true);
  EXPECT_FALSE(lines[1]["interface"].get<std::string>().empty());
  bool found = false;
  for (const auto& m : lines[1]["methods"])
    if (m["dispid"] == 2) found = true;
  EXPECT_TRUE(found) << lines[1].dump();
  EXPECT_EQ(lines[2]["hresult"], "0x80004003");
  EXPECT_EQ(lines[3]["result"], 42);

  Ran lenient = runQuib(s.server->address(), script);
  EXPECT_EQ(lenient.code, 0) << "without --fail a failed step is an answer, not an error";
}
