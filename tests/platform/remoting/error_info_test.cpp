// Failures at an operation's boundary become a status with error information.
#include "platform/remoting/error_info.h"

#include <gtest/gtest.h>

#include "platform/variant/variant.h"

using namespace rvz;

TEST(ErrorInfo, BoundaryKeepsStatusesAndTexts) {
  ErrorInfo info;
  EXPECT_EQ(guardOperation(u"Quib.datas", "{IID}", info, [] {}), S_OK);
  EXPECT_TRUE(info.ok());

  EXPECT_EQ(
      guardOperation(u"Quib.datas", "{IID}", info, [] { throw std::runtime_error("Provider not exported: pNone"); }),
      E_UNEXPECTED);
  EXPECT_EQ(info.description, u"Provider not exported: pNone");
  EXPECT_EQ(info.source, u"Quib.datas");
  EXPECT_EQ(info.interfaceId, "{IID}");

  EXPECT_EQ(guardOperation(u"Quib.datas", "", info, [] { throw ComError(E_INVALIDARG, "参数错误"); }), E_INVALIDARG);
  EXPECT_EQ(info.description, u"参数错误");

  EXPECT_EQ(guardOperation(u"Quib.datas", "", info, [] { Variant(u"x").toInt32(); }), DISP_E_TYPEMISMATCH);

  // A success status thrown as a failure must not reach the client as success.
  EXPECT_EQ(guardOperation(u"Quib.datas", "", info, [] { throw ComError(S_FALSE, "odd"); }), E_UNEXPECTED);
}

TEST(ErrorInfo, StatusText) { EXPECT_EQ(formatHresult(E_UNEXPECTED), "0x8000FFFF"); }
