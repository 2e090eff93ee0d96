// Reading OLE DB connection strings: quoting rules, bad input with its
// position, and the password-free form used in messages.
#include "platform/data/connection_string.h"

#include <gtest/gtest.h>

#include "platform/data/data_error.h"

using rvz::data::ConnectionString;
using rvz::data::DataError;

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

Items itemsOf(const ConnectionString& cs) {
  Items out;
  for (const auto& i : cs.items()) out.emplace_back(i.key, i.value);
  return out;
}

TEST(ConnectionStringTest, ReadsItemsWithTheQuotingRules) {
  struct Case {
    std::string text;
    Items items;
  } cases[] = {
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\Data\\DaZiva.mdb",
       {{"Provider", "Microsoft.Jet.OLEDB.4.0"}, {"Data Source", "D:\\Data\\DaZiva.mdb"}}},
      {"Jet OLEDB:System database=\"\";Jet OLEDB:Engine Type=5",
       {{"Jet OLEDB:System database", ""}, {"Jet OLEDB:Engine Type", "5"}}},
      {"Password=\"\";User ID=Admin;", {{"Password", ""}, {"User ID", "Admin"}}},
      {"A=\"x;y\";B='it''s';C=\"say \"\"hi\"\"\"", {{"A", "x;y"}, {"B", "it's"}, {"C", "say \"hi\""}}},
      {"  Key One  =  spaced value  ; K2 = 'q' ;", {{"Key One", "spaced value"}, {"K2", "q"}}},
      {"a==b=c", {{"a=b", "c"}}},
      {"X=1;x=2", {{"X", "2"}}},  // last value wins, keys without case
      {";;A=;;", {{"A", ""}}},
      {"A=it's", {{"A", "it's"}}},  // a quote inside an unquoted value is plain
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(itemsOf(ConnectionString::parse(c.text)), c.items) << c.text;
}

TEST(ConnectionStringTest, LooksUpKeysWithoutCase) {
  auto cs = ConnectionString::parse("Provider=P;data source=x.mdb");
  EXPECT_EQ(cs.value("PROVIDER"), "P");
  EXPECT_EQ(cs.value("Data Source"), "x.mdb");
  EXPECT_FALSE(cs.has("Password"));
  EXPECT_EQ(cs.value("Password"), "");
}

TEST(ConnectionStringTest, WritesBackWhatItRead) {
  for (std::string text : {"A=\"x;y\";B='it''s';C=\"\"", "Provider=P;Data Source= a b ", "k==1=v", "K= ==v"}) {
    auto once = ConnectionString::parse(text);
    auto twice = ConnectionString::parse(once.toString());
    EXPECT_EQ(itemsOf(twice), itemsOf(once)) << text << " -> " << once.toString();
  }
}

TEST(ConnectionStringTest, MalformedStringsNameThePositionAndTheProblem) {
  struct Case {
    std::string text;
    std::string expected;  // part of the message
  } cases[] = {
      {"Provider=P;Data Source=\"abc", "character 24: the quoted value of 'Data Source' has no closing double quote"},
      {"A='x", "character 3: the quoted value of 'A' has no closing single quote"},
      {"A=\"x\" y;B=1", "character 7: expected ';' after the quoted value of 'A'"},
      {"Provider=P;justtext", "character 12: expected 'Key=Value', found an item without '='"},
      {"=value", "character 1: expected a key name before '='"},
      {"A=1; =2", "character 6: expected a key name before '='"},
  };
  for (const auto& c : cases) {
    try {
      ConnectionString::parse(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const DataError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << c.text << " -> " << e.what();
      EXPECT_EQ(e.number(), rvz::data::kErrBadConnectionString);
    }
  }
}

TEST(ConnectionStringTest, MessagesNeverShowPasswords) {
  const std::string secret = "tarqumel";
  for (std::string text :
       {"Provider=P;Data Source=x;Jet OLEDB:Database Password=tarqumel", "Provider=P;password=\"tarqumel\";User ID=sa",
        "PWD=tarqumel;A=1", "Provider=P;Password=tar;qumel", "Provider=P;Password=\"tarqumel",
        "Jet OLEDB:New Database Password='tarqumel'"}) {
    std::string shown = rvz::data::redactConnectionString(text);
    EXPECT_EQ(shown.find("tar"), std::string::npos) << text << " -> " << shown;
    EXPECT_EQ(shown.find("qumel"), std::string::npos) << text << " -> " << shown;
    try {
      ConnectionString::parse(text);
    } catch (const DataError& e) {
      EXPECT_EQ(std::string(e.what()).find(secret), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find("qumel"), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(rvz::data::redactConnectionString("Provider=P;Password=x;User ID=Admin"), "Provider=P;User ID=Admin");
}

}  // namespace
