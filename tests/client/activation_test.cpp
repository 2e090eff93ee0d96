// Finding and starting the registered server of a class.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "client/activation.h"
#include "platform/registry/hive.h"
#include "platform/remoting/hresults.h"

using namespace rvz;
using namespace rvz::client;
namespace fs = std::filesystem;

namespace {

constexpr const char* kClsid = "{0D6B2C11-8E2F-4A55-9C3B-3A1F00000001}";

class Activation : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rvz-activation-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    hive_ = dir_ / "registry.hive";
  }
  void TearDown() override { fs::remove_all(dir_); }

  void registerServer(const std::string& command) {
    registry::Hive h(hive_);
    h.setValue("Test.thing\\Clsid", "", kClsid);
    h.setValue(std::string("CLSID\\") + kClsid + "\\LocalServer32", "", command);
  }

  // An endpoint where nothing listens.
  ClientOptions nowhere() const {
    ClientOptions o;
    o.endpoint = "127.0.0.1:1";
    return o;
  }

  HRESULT failure(const std::function<void()>& f, std::string* text = nullptr) {
    try {
      f();
    } catch (const ComError& e) {
      if (text) *text = e.what();
      return e.hresult();
    }
    return S_OK;
  }

  fs::path dir_, hive_;
};

}  // namespace

TEST(SplitCommand, QuotedAndPlainPrograms) {
  EXPECT_EQ(splitCommand("\"/opt/my server/RoVezevu\" -x"),
            (std::vector<std::string>{"/opt/my server/RoVezevu", "-x"}));
  EXPECT_EQ(splitCommand("  /usr/local/bin/RoVezevu"), (std::vector<std::string>{"/usr/local/bin/RoVezevu"}));
  EXPECT_EQ(splitCommand("/a/b  -p   q "), (std::vector<std::string>{"/a/b", "-p", "q"}));
  for (const char* bad : {"", "   ", "\"/opt/my server", "\"\" -x"}) {
    try {
      splitCommand(bad);
      ADD_FAILURE() << "accepted [" << bad << "]";
    } catch (const ComError& e) {
      EXPECT_EQ(static_cast<uint32_t>(e.hresult()), 0x800401F5u) << bad;
    }
  }
}

TEST_F(Activation, TheCommandIsFoundByProgIdOrClassId) {
  registerServer("\"/opt/my server/RoVezevu\"");
  EXPECT_EQ(registeredLocalServer(hive_, "Test.thing"), "\"/opt/my server/RoVezevu\"");
  EXPECT_EQ(registeredLocalServer(hive_, "test.THING"), "\"/opt/my server/RoVezevu\"");
  EXPECT_EQ(registeredLocalServer(hive_, "{0d6b2c11-8e2f-4a55-9c3b-3a1f00000001}"), "\"/opt/my server/RoVezevu\"");
  EXPECT_FALSE(registeredLocalServer(hive_, "Other.thing"));
  EXPECT_FALSE(registeredLocalServer(dir_ / "missing.hive", "Test.thing"));
}

TEST_F(Activation, NothingRegisteredKeepsTheConnectionsOwnFailure) {
  std::string text;
  EXPECT_EQ(failure(
                [&] {
                  connectActivating(nowhere(), "Test.thing", {hive_, std::chrono::milliseconds(500)});
                },
                &text),
            remoting::RPC_S_SERVER_UNAVAILABLE);
  EXPECT_NE(text.find("Cannot open a session with 127.0.0.1:1"), std::string::npos) << text;
}

TEST_F(Activation, AProgramThatCannotRunOrNeverServesFails) {
  registerServer((dir_ / "no such program").string());
  std::string text;
  EXPECT_EQ(failure(
                [&] {
                  connectActivating(nowhere(), "Test.thing", {hive_, std::chrono::milliseconds(3000)});
                },
                &text),
            static_cast<HRESULT>(0x80080005));
  EXPECT_NE(text.find("Cannot run the registered server"), std::string::npos) << text;

  // /bin/true runs and ends at once: started again a few times, then the
  // wait ends with the server named.
  registerServer("/bin/true");
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(failure(
                [&] {
                  connectActivating(nowhere(), "Test.thing", {hive_, std::chrono::milliseconds(800)});
                },
                &text),
            static_cast<HRESULT>(0x80080005));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(800));
  EXPECT_NE(text.find("The server /bin/true started for Test.thing did not answer at 127.0.0.1:1"), std::string::npos)
      << text;
}

// A framed endpoint where nothing listens is as unreachable as a gRPC one:
// the registered server is started and waited for there.
TEST_F(Activation, AFramedEndpointWhereNothingListensStartsTheRegisteredServer) {
  registerServer("/bin/true");
  for (const std::string& endpoint : {"unix:" + (dir_ / "none.sock").string(), std::string("framed:127.0.0.1:1")}) {
    ClientOptions o;
    o.endpoint = endpoint;
    std::string text;
    EXPECT_EQ(failure([&] { Client c(o); }, &text), remoting::RPC_S_SERVER_UNAVAILABLE) << endpoint;
    EXPECT_EQ(failure(
                  [&] {
                    connectActivating(o, "Test.thing", {hive_, std::chrono::milliseconds(300)});
                  },
                  &text),
              static_cast<HRESULT>(0x80080005));
    EXPECT_NE(text.find("did not answer at " + endpoint), std::string::npos) << text;
  }
}
