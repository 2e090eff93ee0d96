// The activity log: order, separators, the 10240-character cap and the
// ANSI form of the text.
#include "host/activity_log.h"

#include <gtest/gtest.h>

using namespace rvz;
using rvz::host::ActivityLog;
using rvz::host::LogEntries;

TEST(ActivityLog, NewestFirstEachFollowedByABlankLine) {
  ActivityLog log;
  log.add(u"A");
  log.add(u"B");
  log.add(u"C");
  EXPECT_EQ(log.text(), u"C\r\n\r\nB\r\n\r\nA\r\n\r\n");
  log.clear();
  EXPECT_EQ(log.text(), u"");
}

TEST(ActivityLog, KeepsTheNewest10240CharactersCountedOnTheWideText) {
  ActivityLog log;
  text::WString older(6500, u'o'), newer(4000, u'新');
  log.add(older);
  log.add(newer);
  text::WString t = log.text();
  ASSERT_EQ(t.size(), 10240u);
  EXPECT_EQ(t.substr(0, 4000), newer);
  EXPECT_EQ(t.substr(4000, 4), u"\r\n\r\n");
  EXPECT_EQ(t.substr(4004), older.substr(0, 6236));    // the oldest entry cut in its middle
  EXPECT_EQ(log.ansiText().size(), 8000u + 4 + 6236);  // double-byte characters in the ANSI form
}

TEST(ActivityLog, AnEntryLongerThanTheLimitKeepsItsOwnStart) {
  ActivityLog log;
  log.add(u"old");
  text::WString huge(30000, u'x');
  huge[0] = u'h';
  log.add(huge);
  EXPECT_EQ(log.text(), huge.substr(0, 10240));
}

TEST(ActivityLog, CharactersTheCodePageCannotHoldAreReplaced) {
  ActivityLog log;
  log.add(u"select '\u0E01' from T");
  EXPECT_EQ(log.text(), u"select '?' from T\r\n\r\n");
}

TEST(ActivityLog, AddingSeveralAtOnceEqualsAddingThemInTurn) {
  // Entries arrive in UTF-8, as the command watch hands them over.
  std::vector<std::string> batch;
  for (int i = 0; i < 600; ++i)
    batch.push_back(std::string(static_cast<size_t>(7 + i % 50), static_cast<char>('a' + i % 26)));
  batch.push_back(std::string(10239, 'z'));
  batch.push_back("\u0E01 last");
  for (size_t split : {size_t(0), size_t(1), size_t(300), batch.size()}) {
    ActivityLog one, all;
    one.add(u"before");
    all.add(u"before");
    for (const auto& e : batch) one.add(text::utf8ToWide(e));
    LogEntries head, tail;
    for (size_t i = 0; i < batch.size(); ++i) (i < split ? head : tail).add(batch[i]);
    all.addAll(head);
    all.addAll(tail);
    EXPECT_EQ(all.text(), one.text()) << split;
  }
}
