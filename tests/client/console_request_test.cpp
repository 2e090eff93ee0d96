// The console's action forms: decoding, and the screen request each form
// asks for or the reason it is refused.
#include <gtest/gtest.h>

#include "client/console/console_request.h"

using namespace rvz::client::console;
using rvz::desktop::Command;

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

TEST(ConsoleForm, DecodesFieldsInTheirOrder) {
  struct Case {
    std::string form;
    Fields fields;
  };
  const Case cases[] = {
      {"", {}},
      {"a=1&b=x+y%21", {{"a", "1"}, {"b", "x y!"}}},
      {"a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},
      {"flag", {{"flag", ""}}},
      {"t=a%3Db%26c", {{"t", "a=b&c"}}},  // escaped separators stay in the value
      {"t=%E6%95%B0%E6%8D%AE%E5%BA%93", {{"t", "数据库"}}},
      {"t=%e6%95%b0", {{"t", "数"}}},  // lower-case hex digits
      {"t=l1%0D%0Al2%09x", {{"t", "l1\r\nl2\tx"}}},
      {"t=%2B", {{"t", "+"}}},
      {"t=a=b", {{"t", "a=b"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeForm(c.form), c.fields) << c.form;
}

TEST(ConsoleForm, RefusesWhatIsNotACleanForm) {
  struct Case {
    std::string form;
    std::string reason;
  };
  const Case cases[] = {
      {"t=%", "broken percent escape"},
      {"t=%4", "broken percent escape"},
      {"t=%zz", "broken percent escape"},
      {"t=%00", "control character 0"},
      {"t=%1B", "control character 27"},
      {"t=%7F", "control character 127"},
      {"t=%FF", "not UTF-8"},
      {"t=%C0%80", "not UTF-8"},        // overlong NUL
      {"t=%ED%A0%80", "not UTF-8"},     // a surrogate
      {"t=%F4%90%80%80", "not UTF-8"},  // past U+10FFFF
      {"t=%E6%95", "not UTF-8"},        // cut short
      {"n%FF=1", "field name is not UTF-8"},
      {std::string(kMaxFormBytes + 1, 'a'), "longer than 65536 bytes"},
  };
  for (const auto& c : cases) {
    try {
      decodeForm(c.form);
      ADD_FAILURE() << c.form << " was taken";
    } catch (const RequestError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << c.form << ": " << e.what();
    }
  }
  std::string many;
  for (size_t i = 0; i <= kMaxFormFields; ++i) many += "f" + std::to_string(i) + "=1&";
  EXPECT_THROW(decodeForm(many), RequestError);
}

TEST(ConsoleAction, FormsBecomeScreenRequests) {
  struct Case {
    std::string form;
    Command command;
    std::vector<std::string> args;
    std::string window;
  };
  const Case cases[] = {
      {"command=menu&target=%E5%85%B3%E9%97%AD%E6%9C%8D%E5%8A%A1%E5%99%A8", Command::Menu, {"关闭服务器"}, ""},
      {"command=answer&target=No&window=%231", Command::Answer, {"No"}, "#1"},
      {"command=set&target=edPWD&text=&window=dlgLinkConfig", Command::Set, {"edPWD", ""}, "dlgLinkConfig"},
      {"window=frmMains&target=CheckBox1&command=click", Command::Click, {"CheckBox1"}, "frmMains"},
      {"command=dropdown&target=edDBName", Command::DropDown, {"edDBName"}, ""},
      {"command=close", Command::Close, {}, ""},
      {"command=close&window=%232", Command::Close, {}, "#2"},
  };
  for (const auto& c : cases) {
    auto r = actionFromForm(c.form);
    EXPECT_EQ(r.command, c.command) << c.form;
    EXPECT_EQ(r.args, c.args) << c.form;
    EXPECT_EQ(r.window, c.window) << c.form;
  }
}

TEST(ConsoleAction, RefusesFormsThatAskForTooLittleTooMuchOrOnlyToRead) {
  struct Case {
    std::string form;
    std::string reason;
  };
  const Case cases[] = {
      {"", "names no command"},
      {"target=x", "names no command"},
      {"command=paint", "unknown screen command \"paint\""},
      {"command=boxes", "only reads"},
      {"command=log", "only reads"},
      {"command=watch", "only reads"},
      {"command=menu", "needs a target"},
      {"command=click&target=", "needs a target"},
      {"command=set&target=edServer", "needs a text"},
      {"command=click&target=b&text=x", "only the command \"set\" takes a text"},
      {"command=close&target=x", "takes no target"},
      {"command=menu&target=m&window=w", "takes no window"},
      {"command=click&target=a&target=b", "names \"target\" twice"},
      {"command=click&target=a&extra=1", "unknown field \"extra\""},
  };
  for (const auto& c : cases) {
    try {
      actionFromForm(c.form);
      ADD_FAILURE() << c.form << " was taken";
    } catch (const RequestError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << c.form << ": " << e.what();
    }
  }
}

}  // namespace
