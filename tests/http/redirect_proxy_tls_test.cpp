// Redirects, proxies and the secure path, against scripted servers, tinyproxy
// and a certificate authority made for the test.
#include <gtest/gtest.h>

#include "http/trusted_authorities.h"
#include "tests/http/http_test_support.h"

namespace pindlewick {
namespace {

using testing::argsFor;
using testing::headPart;
using testing::kNoResponse;
using testing::kSendFailed;
using testing::response;
using testing::ScriptedServer;
using testing::sharedServer;
using testing::TestAuthority;
using testing::Tinyproxy;

std::string redirectTo(const std::string& status, const std::string& location, const std::string& extra = "") {
  return response(status, "Location: " + location + "\r\n" + extra, "moved");
}

std::string requestLineOf(const std::string& request) { return request.substr(0, request.find("\r\n")); }

// The requests recorded after the first `before` ones.
std::vector<std::string> requestsSince(const ScriptedServer& server, std::size_t before) {
  std::vector<std::string> all = server.requests();
  return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
}

TEST(Redirects, ChainsAreFollowedAndOnlyTheLastResponseIsKept) {
  ScriptedServer& server = sharedServer();
  server.script("/r1", redirectTo("301 Moved Permanently", "/r2", "Set-Cookie: s=1\r\n"));
  server.script("/r2", redirectTo("302 Found", server.url("/r3")));
  server.script("/r3", response("200 OK", "X-Last: yes\r\n", "landed"));
  HttpRequestArgs args = argsFor("/r1");
  args.redirectLocation = "entry";
  EXPECT_EQ(httpRequest(args), "landed");
  EXPECT_EQ(args.statusText, "200 OK");
  EXPECT_EQ(args.returnedHeaders.bytes().rfind("HTTP/1.1 200 OK\r\nX-Last: yes\r\n", 0), 0u);
  EXPECT_EQ(args.returnedCookies, "");
  EXPECT_EQ(args.redirectLocation, "entry");

  HttpRequestArgs kept = argsFor("/r1");
  kept.disableRedirects = true;
  EXPECT_EQ(httpRequest(kept), "moved");
  EXPECT_EQ(kept.statusText, "301 Moved Permanently");
  EXPECT_EQ(kept.redirectLocation, "/r2");
  EXPECT_EQ(kept.returnedCookies, "s=1");
}

TEST(Redirects, MethodBodyCookiesAndCredentialsOnTheWay) {
  ScriptedServer& server = sharedServer();
  ScriptedServer other;
  other.script("/elsewhere", response("200 OK", "", "other"));
  server.script("/see-other", redirectTo("303 See Other", "/target"));
  server.script("/temporary", redirectTo("307 Temporary Redirect", "/target"));
  server.script("/set-and-move", redirectTo("302 Found", "/target", "Set-Cookie: chain=1; Path=/\r\n"));
  server.script("/to-other", redirectTo("302 Found", other.url("/elsewhere")));
  server.script("/target", response("200 OK", "", "done"));

  const std::size_t before = server.requests().size();
  HttpRequestArgs post = argsFor("/see-other");
  post.method = kMethodPost;
  post.postText = "k=v";
  httpRequest(post);
  HttpRequestArgs kept = argsFor("/temporary");
  kept.method = kMethodPost;
  kept.postText = "k=v";
  httpRequest(kept);
  HttpRequestArgs withCookies = argsFor("/set-and-move");
  withCookies.submittedCookies = "";
  httpRequest(withCookies);
  HttpRequestArgs withoutCookies = argsFor("/set-and-move");
  httpRequest(withoutCookies);
  const std::vector<std::string> requests = requestsSince(server, before);
  ASSERT_EQ(requests.size(), 8u);
  EXPECT_EQ(requestLineOf(requests[1]), "GET /target HTTP/1.1");
  EXPECT_EQ(testing::bodyPart(requests[1]), "");
  EXPECT_EQ(requestLineOf(requests[3]), "POST /target HTTP/1.1");
  EXPECT_EQ(testing::bodyPart(requests[3]), "k=v");
  EXPECT_NE(headPart(requests[5]).find("Cookie: chain=1\r\n"), std::string::npos);
  EXPECT_EQ(headPart(requests[7]).find("Cookie"), std::string::npos);
  EXPECT_EQ(withCookies.submittedCookies, "");  // the last response set nothing

  // Credentials stay with the origin the caller named.
  HttpRequestArgs credentials = argsFor("/to-other");
  credentials.user = "tester";
  credentials.password = "secret";
  EXPECT_EQ(httpRequest(credentials), "other");
  EXPECT_NE(server.requests().back().find("Authorization: Basic"), std::string::npos);
  EXPECT_EQ(other.requests().back().find("Authorization"), std::string::npos);
}

TEST(Redirects, TenAreFollowedAndAnEleventhFails) {
  ScriptedServer& server = sharedServer();
  for (int hop = 0; hop <= 11; ++hop) {
    server.script("/hop" + std::to_string(hop), redirectTo("302 Found", "/hop" + std::to_string(hop + 1)));
  }
  server.script("/hop10", response("200 OK", "", "ten"));
  HttpRequestArgs ten = argsFor("/hop0");
  EXPECT_EQ(httpRequest(ten), "ten");
  server.script("/hop10", redirectTo("302 Found", "/hop11"));
  server.script("/hop11", response("200 OK", "", "eleven"));
  HttpRequestArgs eleven = argsFor("/hop0");
  EXPECT_EQ(httpRequest(eleven), "");
  EXPECT_EQ(eleven.statusText, kNoResponse);
}

class SecurePath : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    authority_ = new TestAuthority;
    secure_ = new ScriptedServer(authority_->certificate(), authority_->key());
  }
  static void TearDownTestSuite() {
    delete secure_;
    delete authority_;
  }
  static TestAuthority* authority_;
  static ScriptedServer* secure_;
};

TestAuthority* SecurePath::authority_ = nullptr;
ScriptedServer* SecurePath::secure_ = nullptr;

TEST_F(SecurePath, TheSystemsAuthoritiesRefuseTheTestOne) {
  if (!testing::systemAuthoritiesChecked()) {
    GTEST_SKIP() << "under Wine, HTTPS checks no certificate without a PEM file";
  }
  secure_->script("/page", response("200 OK", "", "secure"));
  HttpRequestArgs untrusted;
  untrusted.url = Text(secure_->url("/page"));
  EXPECT_EQ(httpRequest(untrusted), "");
  EXPECT_EQ(untrusted.statusText, kSendFailed);
}

TEST_F(SecurePath, OnlyATrustedCertificateIsAccepted) {
  secure_->script("/page", response("200 OK", "", "secure"));
  {
    const TestAuthority stranger;
    const ScopedTrustedAuthorities trustStranger(stranger.authority().string());
    HttpRequestArgs untrusted;
    untrusted.url = Text(secure_->url("/page"));
    EXPECT_EQ(httpRequest(untrusted), "");
    EXPECT_EQ(untrusted.statusText, kSendFailed);
  }

  const ScopedTrustedAuthorities trust(authority_->authority().string());
  HttpRequestArgs trusted;
  trusted.url = Text(secure_->url("/page"));
  EXPECT_EQ(httpRequest(trusted), "secure");
  EXPECT_EQ(trusted.statusText, "200 OK");
}

TEST_F(SecurePath, UpToHttpsIsFollowedDownToHttpIsNot) {
  const ScopedTrustedAuthorities trust(authority_->authority().string());
  secure_->script("/page", response("200 OK", "", "secure"));
  secure_->script("/down", redirectTo("302 Found", sharedServer().url("/plain")));
  sharedServer().script("/plain", response("200 OK", "", "plain"));
  sharedServer().script("/up", redirectTo("302 Found", secure_->url("/page")));

  HttpRequestArgs up = argsFor("/up");
  EXPECT_EQ(httpRequest(up), "secure");
  HttpRequestArgs down;
  down.url = Text(secure_->url("/down"));
  EXPECT_EQ(httpRequest(down), "moved");
  EXPECT_EQ(down.statusText, "302 Found");
  EXPECT_EQ(down.redirectLocation.bytes(), sharedServer().url("/plain"));
}

TEST_F(SecurePath, ProxyRulesPerScheme) {
  const ScopedTrustedAuthorities trust(authority_->authority().string());
  secure_->script("/page", response("200 OK", "", "secure"));
  sharedServer().script("/plain", response("200 OK", "", "plain"));
  sharedServer().script("/up", redirectTo("302 Found", secure_->url("/page")));
  const Tinyproxy proxy;
  const Tinyproxy noTunnels({}, {}, false);
  const testing::ReservedPort nothingListens;
  const std::string deadProxy = "127.0.0.1:" + std::to_string(nothingListens.number());

  HttpRequestArgs plain = argsFor("/plain");
  plain.proxyAddress = Text(proxy.address());
  EXPECT_EQ(httpRequest(plain), "plain");
  EXPECT_NE(sharedServer().requests().back().find("(tinyproxy/"), std::string::npos);

  HttpRequestArgs secure;
  secure.url = Text(secure_->url("/page"));
  secure.proxyAddress = Text(proxy.address());
  EXPECT_EQ(httpRequest(secure), "secure");

  for (const std::string& url : {sharedServer().url("/plain"), secure_->url("/page")}) {
    HttpRequestArgs dead;
    dead.url = Text(url);
    dead.proxyAddress = Text(deadProxy);
    EXPECT_EQ(httpRequest(dead), "") << url;
    EXPECT_EQ(dead.statusText, kSendFailed) << url;
  }

  // A plain-HTTP request uses the proxy for plain HTTP only: the redirect to
  // HTTPS goes direct, past a proxy that would refuse to tunnel it.
  HttpRequestArgs up = argsFor("/up");
  up.proxyAddress = Text(noTunnels.address());
  EXPECT_EQ(httpRequest(up), "secure");
  HttpRequestArgs refused;
  refused.url = Text(secure_->url("/page"));
  refused.proxyAddress = Text(noTunnels.address());
  EXPECT_EQ(httpRequest(refused), "");
}

TEST(Proxy, BasicCredentialsOnlyWhenBothHalvesAreGiven) {
  sharedServer().script("/plain", response("200 OK", "", "plain"));
  const Tinyproxy proxy("proxyuser", "proxypass");
  struct Case {
    Text user;
    Text password;
    Text status;
  };
  const Case cases[] = {
      {"", "", "407 Proxy Authentication Required"},
      {"proxyuser", "", "407 Proxy Authentication Required"},
      {"proxyuser", "wrong", "401 Unauthorized"},  // tinyproxy's answer to wrong ones
      {"proxyuser", "proxypass", "200 OK"},
  };
  for (const Case& c : cases) {
    HttpRequestArgs args = argsFor("/plain");
    args.proxyAddress = Text(proxy.address());
    args.proxyUser = c.user;
    args.proxyPassword = c.password;
    httpRequest(args);
    EXPECT_EQ(args.statusText, c.status) << c.user << ":" << c.password;
  }
}

TEST(Proxy, EnvironmentVariablesDoNotLeakIn) {
  sharedServer().script("/plain", response("200 OK", "", "plain"));
  const testing::ReservedPort nothingListens;
  const std::string deadProxy = "http://127.0.0.1:" + std::to_string(nothingListens.number());
  for (const char* name : {"http_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"}) {
    testing::setEnvironmentVariable(name, deadProxy.c_str());
  }
  HttpRequestArgs args = argsFor("/plain");
  EXPECT_EQ(httpRequest(args), "plain");
  for (const char* name : {"http_proxy", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"}) {
    testing::setEnvironmentVariable(name, nullptr);
  }
}

}  // namespace
}  // namespace pindlewick
