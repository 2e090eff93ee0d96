// The operational log's lines as journald and a reader of a log file see
// them, and what reaches a log file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "platform/oplog/operations_log.h"

namespace fs = std::filesystem;
using rvz::oplog::Level;

namespace {

constexpr const char* kTime = "2026-12-09T14:02:15.123Z";

TEST(OperationsLogLine, KeysAndValuesStayOnOneLine) {
  struct Case {
    const char* name;
    Level level;
    std::string message;
    std::string key, value;
    bool journald;
    std::string line;
  };
  const Case cases[] = {
      {"plain", Level::Info, "session opened", "peer", "ipv4:127.0.0.1:5000", false,
       "2026-12-09T14:02:15.123Z info session opened peer=ipv4:127.0.0.1:5000\n"},
      {"journald priority", Level::Error, "start-up failed", "error", "x", true,
       "<3>2026-12-09T14:02:15.123Z error start-up failed error=x\n"},
      {"warning priority", Level::Warning, "slow call", "method", "AS_GetRecords", true,
       "<4>2026-12-09T14:02:15.123Z warning slow call method=AS_GetRecords\n"},
      {"blanks quoted", Level::Notice, "stopping", "reason", "closed from the tray menu", false,
       "2026-12-09T14:02:15.123Z notice stopping reason=\"closed from the tray menu\"\n"},
      {"line breaks escaped", Level::Info, "call failed", "text", "a\r\nb\t\"c\"\\", false,
       "2026-12-09T14:02:15.123Z info call failed text=\"a\\r\\nb\\t\\\"c\\\"\\\\\"\n"},
      {"equals sign quoted", Level::Info, "m", "sql", "a=b", false, "2026-12-09T14:02:15.123Z info m sql=\"a=b\"\n"},
      {"empty value quoted", Level::Debug, "m", "k", "", false, "2026-12-09T14:02:15.123Z debug m k=\"\"\n"},
      {"control byte escaped", Level::Info, "m", "k", std::string("a\x01", 2), false,
       "2026-12-09T14:02:15.123Z info m k=\"a\\x01\"\n"},
      {"message on one line", Level::Info, "two\nlines", "k", "v", false,
       "2026-12-09T14:02:15.123Z info two lines k=v\n"},
      {"UTF-8 kept", Level::Info, "account set chosen", "set", "样本", false,
       "2026-12-09T14:02:15.123Z info account set chosen set=样本\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rvz::oplog::formatLine(c.level, c.message, {{c.key, c.value}}, kTime, c.journald), c.line) << c.name;
}

TEST(OperationsLogLevel, ParsedWithoutRegardToCaseAndBadWordsNamed) {
  EXPECT_EQ(rvz::oplog::parseLevel("DEBUG"), Level::Debug);
  EXPECT_EQ(rvz::oplog::parseLevel("warning"), Level::Warning);
  try {
    rvz::oplog::parseLevel("verbose");
    FAIL() << "verbose was taken";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("\"verbose\" is not a log level"), std::string::npos) << e.what();
  }
}

TEST(OperationsLogFile, LinesBelowTheLevelAreLeftOutButCounted) {
  const fs::path file = fs::temp_directory_path() / ("rvz-oplog-" + std::to_string(::getpid()) + ".log");
  fs::remove(file);
  rvz::oplog::writeToFile(file);
  rvz::oplog::setMinimumLevel(Level::Notice);
  const uint64_t debugBefore = rvz::oplog::linesWritten(Level::Debug);
  rvz::oplog::debug("not shown");
  rvz::oplog::notice("shown", {{"object", "3"}});
  rvz::oplog::writeToStandardError();
  rvz::oplog::setMinimumLevel(Level::Info);
  std::ifstream in(file);
  std::stringstream s;
  s << in.rdbuf();
  const std::string text = s.str();
  EXPECT_EQ(text.find("not shown"), std::string::npos) << text;
  EXPECT_NE(text.find(" notice shown object=3\n"), std::string::npos) << text;
  EXPECT_EQ(text.front(), '2') << "a file gets no journald prefix: " << text;
  EXPECT_EQ(rvz::oplog::linesWritten(Level::Debug), debugBefore + 1);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::others_read, fs::perms::none);
  fs::remove(file);
}

TEST(OperationsLogFile, AFileThatCannotBeOpenedIsNamed) {
  try {
    rvz::oplog::writeToFile("/nonexistent-folder/x.log");
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent-folder/x.log"), std::string::npos) << e.what();
  }
}

}  // namespace

namespace {

// Standard error pointed at a file for the length of a test.
class StderrToFile {
 public:
  explicit StderrToFile(const fs::path& file) {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
  }
  ~StderrToFile() {
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }

 private:
  int saved_;
};

std::string readAll(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(OperationsLogJournal, PrioritiesOnlyWhenStandardErrorIsThisUnitsJournalStream) {
  const fs::path file = fs::temp_directory_path() / ("rvz-journal-" + std::to_string(::getpid()) + ".log");
  {
    StderrToFile redirect(file);
    struct stat st {};
    ASSERT_EQ(::fstat(STDERR_FILENO, &st), 0);
    // Another stream's identity (a child whose standard error went
    // elsewhere inherits the variable): plain lines.
    const std::string other = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino + 1);
    ::setenv("JOURNAL_STREAM", other.c_str(), 1);
    rvz::oplog::writeToStandardError();
    EXPECT_FALSE(rvz::oplog::standardErrorIsJournal());
    rvz::oplog::warning("plain");
    const std::string mine = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    ::setenv("JOURNAL_STREAM", mine.c_str(), 1);
    rvz::oplog::writeToStandardError();
    EXPECT_TRUE(rvz::oplog::standardErrorIsJournal());
    rvz::oplog::warning("for journald");
    ::unsetenv("JOURNAL_STREAM");
    rvz::oplog::writeToStandardError();
  }
  const std::string text = readAll(file);
  EXPECT_NE(text.find("\n<4>"), std::string::npos) << text;
  EXPECT_NE(text.find(" warning for journald\n"), std::string::npos) << text;
  EXPECT_EQ(text.rfind("<", 0), std::string::npos) << "the first line is plain: " << text;
  fs::remove(file);
}
