// Users, roles and tokens, the CSRF value and origins, and the public view's delay, on their own.
#include <gtest/gtest.h>

#include "web/access/csrf.h"
#include "web/access/identity.h"
#include "web/access/public_delay.h"
#include "web/access/users.h"

namespace {

using web::access::Role;

TEST(Users, TokenHashIsSha256InHex) {
    EXPECT_EQ(web::access::token_hash("abc"),
              "sha256:ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Users, FileLinesAndTheirMistakes) {
    const std::string alice = web::access::token_hash("alice-token");
    const std::string bob = web::access::token_hash("bob-token");
    std::vector<web::access::User> users;
    std::string error;
    ASSERT_TRUE(web::access::parse_users("# who may\n\nalice admin " + alice + "\n  bob viewer " + bob + "  # ro\n",
                                         &users, &error))
        << error;
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0].name, "alice");
    EXPECT_EQ(users[0].role, Role::admin);
    EXPECT_EQ(users[1].role, Role::viewer);
    const std::pair<std::string, std::string> mistakes[] = {
        {"alice admin\n", "line 1: must be NAME ROLE sha256:HEX"},
        {"alice root " + alice, "line 1: the role must be viewer or admin"},
        {"alice admin sha256:ABC", "line 1: the token's hash"},
        {"alice admin " + alice.substr(0, 70), "line 1: the token's hash"},
        {"al/ice admin " + alice, "line 1: a name is"},
        {"alice admin " + alice + "\nalice viewer " + bob, "line 2: user alice is given twice"},
        {"alice admin " + alice + " extra", "line 1: must be"},
    };
    for (const auto &[text, expected] : mistakes) {
        EXPECT_FALSE(web::access::parse_users(text, &users, &error)) << text;
        EXPECT_EQ(error.substr(0, expected.size()), expected) << text;
        EXPECT_EQ(error.find(alice.substr(7)), std::string::npos);  // no hash echoed back
    }
}

TEST(Users, ARequestIsTheUserOfTheFirstTokenThatIsOne) {
    web::access::Users users;
    users.set({{"alice", Role::admin, web::access::token_hash("a-token")},
               {"bob", Role::viewer, web::access::token_hash("b-token")}});
    EXPECT_EQ(users.find_token("a-token")->name, "alice");
    EXPECT_EQ(users.find_token("b-token")->name, "bob");
    EXPECT_EQ(users.find_token("a-toke"), nullptr);
    EXPECT_EQ(users.find_token(""), nullptr);

    const auto header = web::access::identify(users, "Bearer b-token", "orlex_token=a-token", "/");
    ASSERT_NE(header.user, nullptr);
    EXPECT_EQ(header.user->name, "bob");
    EXPECT_EQ(header.via, web::TokenVia::header);
    // A wrong bearer token does not hide a good cookie; a token in the URL is the last tried.
    const auto cookie = web::access::identify(users, "Bearer wrong", "x=1; orlex_token=a-token", "/?token=b-token");
    ASSERT_NE(cookie.user, nullptr);
    EXPECT_EQ(cookie.user->name, "alice");
    EXPECT_EQ(cookie.via, web::TokenVia::cookie);
    const auto query = web::access::identify(users, "", "", "/?token=b%2Dtoken");
    ASSERT_NE(query.user, nullptr);
    EXPECT_EQ(query.via, web::TokenVia::query);
    EXPECT_EQ(query.token, "b-token");
    EXPECT_EQ(web::access::identify(users, "Basic a-token", "", "/").user, nullptr);
}

TEST(Csrf, ValuePerUserAndKeyAndOriginsExactly) {
    const web::access::CsrfKey key, other_key;
    const web::access::User alice{"alice", Role::admin, web::access::token_hash("a")};
    const web::access::User bob{"bob", Role::admin, web::access::token_hash("b")};
    const std::string value = key.value_for(alice);
    EXPECT_EQ(value.size(), 64u);
    EXPECT_TRUE(key.matches(alice, value));
    EXPECT_FALSE(key.matches(bob, value));
    EXPECT_FALSE(other_key.matches(alice, value));  // a new run of the gateway, a new value
    EXPECT_FALSE(key.matches(alice, ""));
    EXPECT_FALSE(key.matches(alice, value.substr(0, 63)));

    EXPECT_TRUE(web::access::origin_is_host("http://127.0.0.1:8080", "127.0.0.1:8080"));
    EXPECT_TRUE(web::access::origin_is_host("https://dash.example", "dash.example"));
    EXPECT_FALSE(web::access::origin_is_host("http://evil.example", "127.0.0.1:8080"));
    EXPECT_FALSE(web::access::origin_is_host("http://127.0.0.1:8080.evil", "127.0.0.1:8080"));
    EXPECT_FALSE(web::access::origin_is_host("null", "127.0.0.1:8080"));
    EXPECT_FALSE(web::access::origin_is_host("", ""));
}

TEST(PublicDelay, ShowsTheNewestStateAtLeastTheDelayOld) {
    using Clock = web::access::PublicDelay::Clock;
    using std::chrono::milliseconds;
    web::access::PublicDelay delay(std::chrono::seconds(30));
    const Clock::time_point start = Clock::now();
    auto text = [](const std::string &t) { return std::make_shared<const std::string>(t); };
    EXPECT_EQ(delay.at("dust", start), nullptr);
    // A state every 50 ms for a minute: at T the one from T - 30 s (to within the spacing), never newer.
    int checked = 0;
    // Each with the log's latest event then (one every 50 ms too): the events shown are the state's.
    for (int ms = 0; ms <= 60000; ms += 50) {
        delay.add("dust", text(std::to_string(ms)), start + milliseconds(ms), static_cast<uint64_t>(ms / 50));
        if (ms % 4950 != 0 && ms != 60000)
            continue;
        const auto shown = delay.at("dust", start + milliseconds(ms));
        uint64_t events_until = 0;
        const bool events_shown = delay.events_until("dust", start + milliseconds(ms), &events_until);
        if (ms < 30000) {
            EXPECT_EQ(shown, nullptr) << ms;
            EXPECT_FALSE(events_shown) << ms;
            continue;
        }
        ASSERT_NE(shown, nullptr) << ms;
        EXPECT_TRUE(events_shown);
        EXPECT_EQ(events_until, static_cast<uint64_t>(std::stoi(*shown) / 50)) << ms;
        const int shown_ms = std::stoi(*shown);
        EXPECT_LE(shown_ms, ms - 30000);
        EXPECT_GE(shown_ms, ms - 30000 - 2 * web::access::PublicDelay::kSpacing.count());
        ++checked;
    }
    EXPECT_EQ(checked, 7);
    EXPECT_EQ(delay.at("other", start + milliseconds(60000)), nullptr);

    web::access::PublicDelay none(std::chrono::seconds(0));
    none.add("dust", text("a"), start);
    none.add("dust", text("b"), start + milliseconds(10));
    EXPECT_EQ(*none.at("dust", start + milliseconds(10)), "b");
}

}  // namespace
