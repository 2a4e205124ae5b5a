// Tokens for values that carried an address in a 32-bit integer.
#include <gtest/gtest.h>

#include "xcom/automation.h"
#include "xcom/tokens.h"

namespace {

using ItemCallback = LONG(BSTR path, double serial, BSTR note, LONG sizeKB, DATE date, BSTR kind);
using OtherCallback = LONG(BSTR path);

int g_calls = 0;
LONG Callback(BSTR, double, BSTR, LONG, DATE, BSTR) { return ++g_calls; }
LONG Other(BSTR) { return 0; }

TEST(XcomTokens, ResolveOnlyTheKindAndTypeIssued) {
  using xcom::TokenKind;
  LONG fn = xcom::IssueToken(TokenKind::ItemCallback, &Callback);
  int surface = 0;
  LONG dc = xcom::IssueToken(TokenKind::DeviceContext, &surface);
  ASSERT_GT(fn, 0);
  ASSERT_GT(dc, 0);
  EXPECT_NE(fn, dc);

  ItemCallback* resolved = xcom::ResolveToken<ItemCallback>(TokenKind::ItemCallback, fn);
  ASSERT_EQ(resolved, &Callback);
  EXPECT_EQ(resolved(nullptr, 0, nullptr, 0, 0, nullptr), 1);
  EXPECT_EQ(xcom::ResolveToken<int>(TokenKind::DeviceContext, dc), &surface);

  struct Refused {
    const char* what;
    bool resolved;
  } refused[] = {
      {"another kind", xcom::ResolveToken<ItemCallback>(TokenKind::ItemRecordCallback, fn) != nullptr},
      {"another function type", xcom::ResolveToken<OtherCallback>(TokenKind::ItemCallback, fn) != nullptr},
      {"another object type", xcom::ResolveToken<double>(TokenKind::DeviceContext, dc) != nullptr},
      {"a token never issued", xcom::ResolveToken<ItemCallback>(TokenKind::ItemCallback, 12345) != nullptr},
      {"zero", xcom::ResolveToken<ItemCallback>(TokenKind::ItemCallback, 0) != nullptr},
      {"the negated token", xcom::ResolveToken<ItemCallback>(TokenKind::ItemCallback, -fn) != nullptr},
  };
  for (const Refused& r : refused) EXPECT_FALSE(r.resolved) << r.what;

  EXPECT_TRUE(xcom::RevokeToken(fn));
  EXPECT_FALSE(xcom::RevokeToken(fn));
  EXPECT_EQ(xcom::ResolveToken<ItemCallback>(TokenKind::ItemCallback, fn), nullptr);
  EXPECT_TRUE(xcom::RevokeToken(dc));
  EXPECT_EQ(g_calls, 1);
  (void)Other;
}

TEST(XcomTokens, ScopedTokenIsWithdrawnAndNotReused) {
  LONG first;
  {
    xcom::ScopedToken t(xcom::TokenKind::ItemRecordCallback, &Other);
    first = t.value();
    EXPECT_NE(xcom::ResolveToken<OtherCallback>(xcom::TokenKind::ItemRecordCallback, first), nullptr);
  }
  EXPECT_EQ(xcom::ResolveToken<OtherCallback>(xcom::TokenKind::ItemRecordCallback, first), nullptr);
  xcom::ScopedToken next(xcom::TokenKind::ItemRecordCallback, &Other);
  EXPECT_NE(next.value(), first);
}

}  // namespace
