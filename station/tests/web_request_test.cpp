// The web view's request handling without a socket: targets, routes, names, tokens and who may
// do what.
#include <gtest/gtest.h>

#include "station/web/request_target.h"
#include "station/web/web_access.h"
#include "station/web/web_routes.h"

namespace orva::station::web {
namespace {

TEST(WebTarget, SegmentsAreDecodedOneByOneAndTheQueryKeptApart)
{
    auto r = parse_target("/api/satellites/AO%2D16/files/1A2B?x=%2F&y");
    ASSERT_TRUE(r.target);
    EXPECT_EQ(r.target->segments, (std::vector<std::string>{"api", "satellites", "AO-16", "files", "1A2B"}));
    EXPECT_EQ(r.target->query, "x=%2F&y");
    ASSERT_TRUE(parse_target("/").target);
    EXPECT_TRUE(parse_target("/").target->segments.empty());
    EXPECT_EQ(parse_target("/api/live/").target->segments.size(), 2u) << "one trailing slash is ignored";
    EXPECT_EQ(parse_target("/a%20b").target->segments.front(), "a b");
}

// Everything that could name another place on disk is refused before a route sees it.
TEST(WebTarget, PathsThatCouldLeaveTheStationAreRefused)
{
    const std::pair<const char*, TargetFault> bad[] = {
        {"/api/satellites/../files", TargetFault::DotSegment},
        {"/api/satellites/%2e%2E/directory", TargetFault::DotSegment},
        {"/api/satellites/./directory", TargetFault::DotSegment},
        {"/api/satellites/AO-16/files/..%2F..%2Fstore.db", TargetFault::EncodedSlash},
        {"/api/satellites/%2Fetc%2Fpasswd/directory", TargetFault::EncodedSlash},
        {"/api/satellites/AO-16%5C..%5Cx/directory", TargetFault::EncodedSlash},
        {"/api/satellites//etc/passwd", TargetFault::EmptySegment},
        {"//etc/passwd", TargetFault::EmptySegment},
        {"http://station/api/live", TargetFault::NotOriginForm},
        {"*", TargetFault::NotOriginForm},
        {"", TargetFault::NotOriginForm},
        {"/api/%zz", TargetFault::BadEscape},
        {"/api/%2", TargetFault::BadEscape},
        {"/api/a%00b", TargetFault::ControlByte},
        {"/api/a%0Ab", TargetFault::ControlByte},
        {"/a/b/c/d/e/f/g/h/i", TargetFault::TooManySegments},
    };
    for (const auto& [target, fault] : bad) {
        auto r = parse_target(target);
        EXPECT_FALSE(r.target) << target;
        EXPECT_EQ(r.fault, fault) << target << ": " << to_string(r.fault);
    }
    EXPECT_EQ(parse_target("/" + std::string(kMaxSegmentLength + 1, 'A')).fault, TargetFault::LongSegment);
    EXPECT_TRUE(parse_target("/" + std::string(kMaxSegmentLength, 'A')).target);
    EXPECT_EQ(parse_target("/" + std::string(kMaxTargetLength, 'A')).fault, TargetFault::TooLong);
}

TEST(WebRoutes, EachRouteWithItsNamesAndMethods)
{
    auto m = match_route("GET", "/api/satellites/ao-16/files/1a2b");
    ASSERT_EQ(m.status, 200) << m.reason;
    EXPECT_EQ(m.route, Route::File);
    EXPECT_EQ(m.satellite, "ao-16");
    EXPECT_EQ(m.file, 0x1A2Bu);
    EXPECT_EQ(match_route("GET", "/").route, Route::Page);
    EXPECT_EQ(match_route("HEAD", "/app.js").route, Route::Asset);
    EXPECT_EQ(match_route("GET", "/app.css").asset, "app.css");
    EXPECT_EQ(match_route("GET", "/api/events").route, Route::Events);
    EXPECT_EQ(match_route("GET", "/api/satellites/UO-22/messages/7").route, Route::Message);
    EXPECT_EQ(match_route("POST", "/api/pass/end").route, Route::EndPass);
    EXPECT_EQ(match_route("POST", "/api/mark").route, Route::MarkFile);
    EXPECT_EQ(match_route("POST", "/login").route, Route::Login);

    EXPECT_EQ(match_route("POST", "/api/live").status, 405);
    EXPECT_EQ(match_route("GET", "/api/pass/run").status, 405);
    EXPECT_EQ(match_route("DELETE", "/api/live").status, 405);
    EXPECT_EQ(match_route("GET", "/index.html").status, 404);
    EXPECT_EQ(match_route("GET", "/app.js/x").status, 404);
    EXPECT_EQ(match_route("GET", "/api/satellites/AO-16/files/0").status, 404);
    EXPECT_EQ(match_route("GET", "/api/satellites/AO-16/files/123456789").status, 404);
    EXPECT_EQ(match_route("GET", "/api/satellites/AO-16/files/store.db").status, 404);
    EXPECT_EQ(match_route("GET", "/api/satellites/A-VERY-LONG-SATELLITE/directory").status, 404);
    EXPECT_EQ(match_route("GET", "/api/satellites/AO-16/files/..%2Fx").status, 400);
    EXPECT_EQ(match_route("GET", "/" + std::string(3000, 'x')).status, 414);

    EXPECT_EQ(route_kind(Route::Live), RouteKind::View);
    EXPECT_EQ(route_kind(Route::File), RouteKind::View);
    EXPECT_EQ(route_kind(Route::RunPass), RouteKind::Control);
    EXPECT_EQ(route_kind(Route::MarkFile), RouteKind::Control);
    EXPECT_EQ(route_kind(Route::Login), RouteKind::Public);
}

TEST(WebForm, BodiesDecodeAndLimitsHold)
{
    auto f = parse_form("satellite=AO-16&aos=1796947200&title=a+b%26c&&flag");
    ASSERT_TRUE(f);
    EXPECT_EQ((*f)["satellite"], "AO-16");
    EXPECT_EQ((*f)["aos"], "1796947200");
    EXPECT_EQ((*f)["title"], "a b&c");
    EXPECT_EQ((*f)["flag"], "");
    EXPECT_FALSE(parse_form("a=%G0"));
    EXPECT_FALSE(parse_form(std::string(5000, 'a')));
    std::string many;
    for (int i = 0; i < 20; ++i)
        many += "k" + std::to_string(i) + "=1&";
    EXPECT_FALSE(parse_form(many));
}

TEST(WebAccess, ListeningBeyondLoopbackNeedsAToken)
{
    for (const char* a : {"127.0.0.1", "127.0.0.2", "127.255.255.254", "localhost", "::1"})
        EXPECT_TRUE(check_listen_policy(a, false).ok()) << a;
    for (const char* a : {"0.0.0.0", "192.168.1.20", "::", "128.0.0.1", "127.0.0", "127.0.0.1.5", "1270.0.0.1"}) {
        Status s = check_listen_policy(a, false);
        ASSERT_FALSE(s.ok()) << a;
        EXPECT_NE(s.error().message.find("orva web token"), std::string::npos) << s.error().message;
        EXPECT_TRUE(check_listen_policy(a, true).ok()) << a;
    }
}

TEST(WebAccess, TokenRecordsMatchOnlyTheirToken)
{
    const std::string salt = random_bytes(16);
    ASSERT_EQ(salt.size(), 16u);
    const std::string token = new_token();
    ASSERT_EQ(token.size(), 32u);
    EXPECT_EQ(token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"), std::string::npos);
    EXPECT_NE(new_token(), token);
    const std::string record = token_record(token, salt);
    EXPECT_EQ(record.rfind("sha256:", 0), 0u);
    EXPECT_EQ(record.find(token), std::string::npos) << "the record never holds the token";
    EXPECT_TRUE(token_matches(record, token));
    EXPECT_FALSE(token_matches(record, token.substr(1)));
    EXPECT_FALSE(token_matches(record, token + "x"));
    EXPECT_FALSE(token_matches(record, ""));
    EXPECT_FALSE(token_matches(token_record(token, random_bytes(16)), token + " "));
    EXPECT_FALSE(token_matches("", token));
    EXPECT_FALSE(token_matches("sha256:zz:00", token));
    EXPECT_FALSE(token_matches(token, token)) << "a plain token in the store is not a record";

    EXPECT_TRUE(constant_time_equal("abc", "abc"));
    EXPECT_FALSE(constant_time_equal("abc", "abd"));
    EXPECT_FALSE(constant_time_equal("abc", "ab"));
}

TEST(WebAccess, CredentialsAndHostHeaders)
{
    EXPECT_EQ(bearer_token("Bearer abc"), "abc");
    EXPECT_EQ(bearer_token("bearer  abc "), "abc");
    EXPECT_FALSE(bearer_token("Basic abc"));
    EXPECT_FALSE(bearer_token("Bearer "));
    EXPECT_EQ(cookie_value("a=1; orva_session=xyz; b=2", kSessionCookie), "xyz");
    EXPECT_FALSE(cookie_value("xorva_session=1", kSessionCookie));

    EXPECT_TRUE(host_allowed("127.0.0.1:8073", true));
    EXPECT_TRUE(host_allowed("localhost:8073", true));
    EXPECT_TRUE(host_allowed("[::1]:8073", true));
    EXPECT_TRUE(host_allowed("127.0.0.2", true));
    EXPECT_FALSE(host_allowed("evil.example:8073", true)) << "a name rebound to loopback";
    EXPECT_FALSE(host_allowed("127.0.0.1:80x", true));
    EXPECT_FALSE(host_allowed("", true));
    EXPECT_TRUE(host_allowed("station.lan:8073", false));
}

TEST(WebAccess, ViewsControlsAndTheToken)
{
    AccessContext c;
    EXPECT_EQ(decide_access(RouteKind::View, c).status, 200) << "loopback: viewing is open";
    EXPECT_EQ(decide_access(RouteKind::Public, c).status, 200);
    EXPECT_EQ(decide_access(RouteKind::Control, c).status, 403) << "no token configured: no control at all";

    c.token_configured = true;
    EXPECT_EQ(decide_access(RouteKind::Control, c).status, 401);
    c.authenticated = true;
    EXPECT_EQ(decide_access(RouteKind::Control, c).status, 403) << "without the page's header";
    c.control_header = true;
    EXPECT_EQ(decide_access(RouteKind::Control, c).status, 200);

    AccessContext remote;
    remote.loopback_listener = false;
    remote.token_configured = true;
    EXPECT_EQ(decide_access(RouteKind::View, remote).status, 401);
    EXPECT_EQ(decide_access(RouteKind::Public, remote).status, 200);
    remote.authenticated = true;
    EXPECT_EQ(decide_access(RouteKind::View, remote).status, 200);

    AccessContext private_view;
    private_view.private_view = true;
    private_view.token_configured = true;
    EXPECT_EQ(decide_access(RouteKind::View, private_view).status, 401);
}

} // namespace
} // namespace orva::station::web
