// The backup script's lines as DumpTableScript writes them for a table of
// an Access database: value forms by column type, and the first value of a
// line.
#include "maintenance/backup_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/data/connection.h"
#include "platform/files/files.h"
#include "tests/support/scratch_folder.h"

using namespace rvz;

namespace {

class BackupScript : public ::testing::Test {
 protected:
  BackupScript() {
    files::writeFile(scratch_ / "DaZiva.mdb", "");  // an empty file is an empty database
  }

  // The lines DumpTableScript appends for `table`.
  std::vector<std::string> dump(const std::string& table) {
    data::Query query("Tmp", &cn_);
    auto reopen = [&](const std::string& sql) {
      query.close();
      query.setCommandText(sql);
      query.open();
    };
    std::vector<std::string> lines;
    maintenance::DumpTableScript(query, reopen, table, lines);
    return lines;
  }

  testsupport::ScratchFolder scratch_{"backup"};
  data::Connection cn_{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (scratch_ / "DaZiva.mdb").string()};
};

TEST_F(BackupScript, LongValuesOpeningTheValueListAreWrittenNullInTitleCase) {
  cn_.execute("create table M (C MEMO, A LONG, B LONGBINARY)");
  cn_.execute("insert into M values ('long text', 1, 'bytes')");
  cn_.execute("create table B (B LONGBINARY, C MEMO)");
  cn_.execute("insert into B values ('bytes', 'text')");
  EXPECT_EQ(dump("M"), (std::vector<std::string>{"delete from M", "insert into M(C,A,B) Values(Null,1,null) ", ""}));
  EXPECT_EQ(dump("B"), (std::vector<std::string>{"delete from B", "insert into B(B,C) Values(Null,null) ", ""}));
}

TEST_F(BackupScript, ValueFormsByColumnType) {
  cn_.execute("create table T (A TEXT(20), F ANSICHAR(4), B LONG, D YESNO, E DATETIME, C CURRENCY)");
  cn_.execute("insert into T values (' O''Neil ', 'nul', Null, True, #2008-08-30#, 12.5)");
  EXPECT_EQ(dump("T"),
            (std::vector<std::string>{
                "delete from T", "insert into T(A,F,B,D,E,C) Values('O''Neil',nul,Null,True,'2008-8-30',12.5) ", ""}));
}

TEST_F(BackupScript, SkippedAndEmptyTablesAddNothing) {
  cn_.execute("create table QY1 (A LONG)");
  cn_.execute("insert into QY1 values (1)");
  cn_.execute("create table Empty1 (A LONG)");
  EXPECT_TRUE(dump("QY1").empty());
  EXPECT_TRUE(dump("Empty1").empty());
}

}  // namespace
