// The start mode read from command lines, and the registration written to
// and removed from a hive.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/command_line.h"
#include "host/main_window.h"
#include "host/registration.h"
#include "platform/remoting/type_library.h"
#include "services/quib_type_library.h"

namespace fs = std::filesystem;
using rvz::host::StartMode;

namespace {

TEST(StartMode, FromCommandLines) {
  struct Case {
    std::vector<std::string> args;
    StartMode mode;
  };
  const Case cases[] = {
      {{}, StartMode::User},
      {{"/RegServer"}, StartMode::Register},
      {{"-rEgSeRvEr"}, StartMode::Register},
      {{"regserver"}, StartMode::User},
      {{"--regserver"}, StartMode::User},
      {{"-regserverx"}, StartMode::User},
      {{"/UNREGSERVER"}, StartMode::Unregister},
      {{"-unregserver", "/regserver"}, StartMode::Register},
      {{"/regserver", "-Embedding"}, StartMode::Platform},
      {{"-unregserver", "/automation"}, StartMode::Platform},
      {{"x", "-", "/"}, StartMode::User},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += a + " ";
    EXPECT_EQ(rvz::host::startModeFromArguments(c.args), c.mode) << shown;
  }
}

TEST(LocalServer, PathWithABlankIsQuoted) {
  EXPECT_EQ(rvz::host::localServerCommand("/opt/rvz/RoVezevu"), "/opt/rvz/RoVezevu");
  EXPECT_EQ(rvz::host::localServerCommand("/opt/my apps/RoVezevu"), "\"/opt/my apps/RoVezevu\"");
}

TEST(TrayHint, CutTo63AnsiBytes) {
  EXPECT_EQ(rvz::host::trayHint("Qorvane服务器"), "Qorvane服务器");
  // Each of these characters takes two bytes in the code page: 63 bytes hold 31 and a half.
  std::string longHint;
  for (int i = 0; i < 40; ++i) longHint += "服";
  auto cut = rvz::host::trayHint(longHint);
  EXPECT_LT(cut.size(), longHint.size());
  EXPECT_EQ(cut.substr(0, 31 * 3), longHint.substr(0, 31 * 3));
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rvz-reg-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(Registration, WritingTwiceLeavesTheSameHiveAndRemovalKeepsTheCategory) {
  rvz::registry::Hive hive(dir_ / "r.hive");
  const fs::path exe = "/opt/my apps/RoVezevu";
  rvz::host::writeRegistration(hive, exe, false);
  const auto& datas = rvz::services::datasClass();
  const std::string key = "CLSID\\" + std::string(datas.clsid);
  EXPECT_EQ(hive.value(key + "\\LocalServer32", ""), "\"/opt/my apps/RoVezevu\"");
  EXPECT_EQ(hive.value(key + "\\TypeLib", ""), std::string(rvz::services::quibTypeLibrary().libid));
  EXPECT_EQ(hive.value(std::string("Component Categories\\") + rvz::host::kAppServerCategory, "409"),
            rvz::host::kAppServerCategoryText);
  // The values of a class key come in the order they were written.
  std::vector<std::string> names;
  for (const auto& v : hive.values(key)) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"", "AppID", "Sockets", "Web"}));
  auto once = hive.snapshot();
  rvz::host::writeRegistration(hive, exe, false);
  EXPECT_TRUE(hive.snapshot() == once);

  rvz::host::removeRegistration(hive);
  EXPECT_EQ(hive.subkeys(""), std::vector<std::string>{"Component Categories"});
  // Removing what is not there is quietly nothing.
  rvz::host::removeRegistration(hive);
  EXPECT_EQ(hive.subkeys(""), std::vector<std::string>{"Component Categories"});
}

TEST_F(Registration, RemovalLeavesKeysThatStillHaveSubkeys) {
  rvz::registry::Hive hive(dir_ / "r.hive");
  rvz::host::writeRegistration(hive, "/opt/RoVezevu", false);
  const std::string key = "CLSID\\" + std::string(rvz::services::datasClass().clsid);
  hive.createKey(key + "\\Extra");
  rvz::host::removeRegistration(hive);
  EXPECT_TRUE(hive.keyExists(key + "\\Extra"));
  EXPECT_FALSE(hive.keyExists(key + "\\LocalServer32"));
  EXPECT_FALSE(hive.keyExists(std::string(rvz::services::datasClass().progId)));
}

TEST_F(Registration, AnUnwritableHiveIsTheRegistryEntryError) {
  rvz::registry::Hive hive(dir_ / "missing" / "r.hive");
  try {
    rvz::host::writeRegistration(hive, "/opt/RoVezevu", false);
    FAIL() << "no error";
  } catch (const rvz::host::RegistrationError& e) {
    EXPECT_STREQ(e.what(), "Error creating system registry entry");
  }
}

}  // namespace
