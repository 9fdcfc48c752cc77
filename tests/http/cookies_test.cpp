#include "http/cookies.h"

#include <gtest/gtest.h>

namespace pindlewick {
namespace {

struct ScanCase {
  Text headers;
  Text cookiesBefore;
  Text expectedCookies;
  Text expectedLocation;
};

TEST(ScanResponseHeaders, CollectsCookiesAndLocation) {
  const ScanCase cases[] = {
      {"HTTP/1.1 200 OK\r\nSet-Cookie: a=1; Path=/\r\nset-cookie: b=2; HttpOnly\r\n\r\n", "", "a=1; b=2", "keep"},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: c=3\r\n\r\n", "", "c=3", "keep"},
      // A Set-Cookie2 line holds "Set-Cookie" and ";" but no "Set-Cookie:".
      {"HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nSet-Cookie2: d=4; Version=1\r\n\r\n", "", "a=1; ", "keep"},
      {"HTTP/1.1 302 Found\r\nLocation: /next\r\n\r\n", "", "", "/next"},
      {"HTTP/1.1 302 Found\r\nLOCATION: /next\r\n\r\n", "", "", "/next"},
      {"HTTP/1.1 302 Found\r\nLocation:/next\r\n\r\n", "", "", "keep"},
      {"HTTP/1.1 302 Found\r\nLocation: /a\r\nLocation: /b\r\n\r\n", "", "", "/b"},
      {"HTTP/1.1 302 Found\r\nLocation: \r\n\r\n", "", "", ""},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: x=1\r\n\r\n", "p=0; ", "p=0; x=1", "keep"},
      // A caller's cookies keep their last bytes when the response sets none.
      {"HTTP/1.1 200 OK\r\n\r\n", "p=0", "p=0", "keep"},
      {"", "", "", "keep"},
  };
  for (const ScanCase& c : cases) {
    Text headers = c.headers;
    Text cookies = c.cookiesBefore;
    Text location = "keep";
    scanResponseHeaders(headers, cookies, location);
    EXPECT_EQ(cookies, c.expectedCookies) << c.headers;
    EXPECT_EQ(location, c.expectedLocation) << c.headers;
  }
}

TEST(ScanResponseHeaders, WritesEverySetCookieNameInOneSpelling) {
  Text headers = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; Path=/\r\nset-cookie: b=2; HttpOnly\r\nSET-COOKIE2: c\r\n\r\n";
  Text cookies;
  Text location;
  scanResponseHeaders(headers, cookies, location);
  EXPECT_EQ(headers,
            "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; Path=/\r\nSet-Cookie: b=2; HttpOnly\r\nSet-Cookie2: c\r\n\r\n");
}

struct MergeCase {
  Text submitted;
  Text returned;
  Text merged;
};

TEST(MergeCookies, ReturnedWinsDeletedVanishesDuplicatesGo) {
  const MergeCase cases[] = {
      {"a=1; b=2", "b=3", "b=3; a=1"},
      {"a=1", "a=deleted", ""},
      {"", "x=1; x=1", "x=1"},
      {"", "x=1; x=2", "x=1; x=2"},
      {"a=1; a=2", "", "a=1"},
      {"k=hello world", "", "k=helloworld"},
      {"\xA1\xA1n=1\xA1\xA1", "", "n=1"},  // the full-width blank is a space too
      {"", "", ""},
  };
  for (const MergeCase& c : cases) {
    Text submitted = c.submitted;
    Text returned = c.returned;
    EXPECT_EQ(mergeCookies(submitted, returned), c.merged) << c.submitted << " + " << c.returned;
    EXPECT_EQ(submitted, c.merged);
    EXPECT_EQ(returned.bytes().find(' '), std::string::npos);
  }
}

TEST(TextBetween, MarkersPositionsAndQuotePlaceholder) {
  const Text quote = "#\xD2\xFD\xBA\xC5";
  EXPECT_EQ(textBetween("a\"b\"c", quote, quote, 0, false), "b");
  EXPECT_EQ(textBetween("k=v; x", "k=", ";", 0, false), "v");
  EXPECT_EQ(textBetween("K=v; x", "k=", ";", 0, false), "");
  EXPECT_EQ(textBetween("K=v; x", "k=", ";", -3, true), "v");
  EXPECT_EQ(textBetween("[a][b]", "[", "]", 3, false), "b");
  EXPECT_EQ(textBetween("[]", "[", "]", 0, false), "");
  EXPECT_EQ(textBetween("[a", "[", "]", 0, false), "");
  EXPECT_EQ(textBetween("a]", "[", "]", 0, false), "");
}

TEST(CookieItems, NamesMembershipAndUniqueJoin) {
  EXPECT_EQ(cookieName(" sid = 42"), "sid");
  EXPECT_EQ(cookieName("flag"), "flag");
  EXPECT_EQ(cookieName("=x"), "");
  EXPECT_TRUE(hasCookieNamed({"a=1", "b=2"}, "b"));
  EXPECT_FALSE(hasCookieNamed({"a=1", "b=2"}, "B"));
  EXPECT_FALSE(hasCookieNamed({}, ""));
  EXPECT_EQ(joinUnique("p; q; p", "; "), "p; q");
  EXPECT_EQ(joinUnique("", "; "), "");
  EXPECT_EQ(indexOfText({"a", "b", "a"}, "a"), 1);
  EXPECT_EQ(indexOfText({"a", "b"}, "c"), -1);
  EXPECT_EQ(indexOfText({}, ""), -1);
}

}  // namespace
}  // namespace pindlewick
