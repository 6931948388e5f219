// Users, roles, actions and the audit trail through the gateway's real front door: the gateway runs
// in this process on its own event loop thread, so that its consoles can be the test's own (one
// that keeps the lines it is sent and answers them), while every request is a real HTTP exchange
// or WebSocket on loopback. The public view's delay, and the users file changing under an open page.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "client/sample_records.h"
#include "support/sockets.h"
#include "web/access/users.h"
#include "web/gateway.h"
#include "web/harness.h"
#include "web/listener.h"
#include "web/options.h"

using web_testing::FakePlugin;
using web_testing::HttpReply;
using web_testing::kWait;

namespace {

const char kAdminToken[] = "admin-secret-1";
const char kViewerToken[] = "viewer-secret-2";
const char kJoinPassword[] = "join-pw-73";

// Keeps every line it is sent; answers each on the event loop as the engine's console would.
class KeptConsole : public web::actions::Console {
public:
    explicit KeptConsole(boost::asio::io_context &io) : io_(io) {}
    bool ready(const std::string &, std::string *why) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!refused_)
            return true;
        *why = "rcon password refused";
        return false;
    }
    void send(const std::string &, std::string line, std::function<void(web::actions::ConsoleAnswer)> done) override {
        std::string output = line.rfind("maps", 0) == 0 ? "de_dust2.bsp\ncs_office.bsp\n" : "did: " + line + "\n";
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        }
        boost::asio::post(io_, [done = std::move(done), output] {
            done({web::actions::ConsoleAnswer::Outcome::ok, output});
        });
    }
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void refuse() {
        std::lock_guard<std::mutex> lock(mutex_);
        refused_ = true;
    }

private:
    boost::asio::io_context &io_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    bool refused_ = false;
};

std::string read_file(const std::string &path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void write_file(const std::string &path, const std::string &text) {
    const std::string temporary = path + ".new";
    std::ofstream(temporary) << text;
    std::rename(temporary.c_str(), path.c_str());
}

class Dashboard {
public:
    explicit Dashboard(std::vector<std::string> more = {}) : console_(io_) {
        char directory[] = "/tmp/orlex_actions_XXXXXX";
        directory_ = mkdtemp(directory);
        users_path_ = directory_ + "/users";
        audit_path_ = directory_ + "/audit.log";
        write_users(true);
        std::vector<std::string> arguments{
            "--server",   "dust=" + plugin_.address(), "--users", users_path_, "--audit", audit_path_, "--listen",
            "127.0.0.1:0"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        web::ParseResult parsed = web::parse_options(arguments, &options_);
        EXPECT_EQ(parsed.outcome, web::ParseResult::run) << parsed.output;
        gateway_ = std::make_unique<web::Gateway>(io_, options_);
        listener_ = std::make_unique<web::Listener>(io_, *gateway_, options_);
        std::string error;
        EXPECT_TRUE(listener_->open("127.0.0.1", 0, &error)) << error;
        EXPECT_TRUE(gateway_->start(&error)) << error;
        gateway_->set_console(&console_);
        listener_->start();
        port_ = listener_->port();
        thread_ = std::thread([this] { io_.run(); });
        EXPECT_TRUE(plugin_.accept_gateway());
        std::string server = samples::server("de_dust2");
        server.replace(server.find("SV_PASSWORD\t"), 12, std::string("SV_PASSWORD\t") + kJoinPassword);
        EXPECT_TRUE(plugin_.send(server + players(100)));
        EXPECT_TRUE(testing_support::wait_until(
            [this] { return get("/api/servers/dust", kAdminToken).body.find("\"x\":100") != std::string::npos; },
            kWait));
    }
    ~Dashboard() {
        boost::asio::post(io_, [this] {
            listener_->stop();
            gateway_->stop();
        });
        thread_.join();
        gateway_.reset();
        std::system(("rm -rf " + directory_).c_str());
    }

    static std::string players(int x) {
        return samples::players({"Alice", "Bob"}, {{"USER_ID", "5", "6"},
                                                   {"STEAM_ID", "STEAM_0:1:5", "STEAM_0:1:6"},
                                                   {"IP", "10.0.0.5:27005", "10.0.0.6:27005"},
                                                   {"X_COORD", std::to_string(x), "7"}});
    }
    void write_users(bool with_viewer) {
        std::string text = "root admin " + web::access::token_hash(kAdminToken) + "\n";
        if (with_viewer)
            text += "watcher viewer " + web::access::token_hash(kViewerToken) + "\n";
        write_file(users_path_, text);
    }
    HttpReply get(const std::string &target, const std::string &token = "") {
        return web_testing::http_get(port_, target, token.empty() ? "" : "Authorization: Bearer " + token + "\r\n");
    }
    // A POST of an action with exactly these extra headers.
    HttpReply post(const std::string &body, const std::string &headers, const std::string &server = "dust") {
        return web_testing::http_exchange(
            port_, "POST /api/servers/" + server + "/actions HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
                       "\r\nConnection: close\r\nContent-Type: application/json\r\n" + headers +
                       "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    HttpReply act(const std::string &body, const std::string &token = kAdminToken) {
        return post(body, "Authorization: Bearer " + token + "\r\n");
    }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string read_audit() const { return read_file(audit_path_); }
    // A GET as the page makes it, with its own headers.
    HttpReply web_get(const std::string &target, const std::string &headers) {
        return web_testing::http_get(port_, target, headers);
    }

    boost::asio::io_context io_;
    KeptConsole console_;
    FakePlugin plugin_;
    std::string directory_, users_path_, audit_path_;
    web::Options options_;
    std::unique_ptr<web::Gateway> gateway_;
    std::unique_ptr<web::Listener> listener_;
    int port_ = 0;
    std::thread thread_;
};

const char *const kEveryAction[] = {
    R"({"action":"kick","user_id":5,"reason":"x"})",
    R"({"action":"ban","user_id":5,"minutes":5})",
    R"({"action":"say","text":"hello"})",
    R"({"action":"changelevel","map":"de_dust"})",
    R"({"action":"restart"})",
    R"({"action":"set","name":"mp_timelimit","value":"30"})",
};

TEST(WebAccessActions, AnAdminKicksAndTheAuditLineIsOnDiskBeforeTheAnswer) {
    Dashboard dash;
    const HttpReply kicked = dash.act(R"({"action":"kick","user_id":5,"reason":"wall hack"})");
    ASSERT_EQ(kicked.status, 200) << kicked.body;
    EXPECT_EQ(kicked.body, R"({"ok":true,"output":"did: kick #5 \"wall hack\"\n"})");
    EXPECT_EQ(dash.console_.lines(), std::vector<std::string>{"kick #5 \"wall hack\""});
    // Read the moment the answer came: the line was written (and synced) before it.
    const std::string audit = dash.read_audit();
    EXPECT_NE(audit.find(R"("user":"root","server":"dust","action":"kick","target":{"name":"Alice","user_id":5,)"
                         R"("auth_id":"STEAM_0:1:5"},"arguments":{"reason":"wall hack","user_id":5},)"
                         R"("result":{"ok":true,"output":"did: kick #5 \"wall hack\"\n"}})"),
              std::string::npos)
        << audit;
    struct stat info {};
    ASSERT_EQ(stat(dash.audit_path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // The page's last lines and the maps the console lists.
    const HttpReply page = dash.get("/api/audit?limit=10", kAdminToken);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("\"total\":1"), std::string::npos) << page.body;
    EXPECT_EQ(dash.get("/api/audit", kViewerToken).status, 403);
    const HttpReply maps = dash.get("/api/servers/dust/maps", kAdminToken);
    EXPECT_EQ(maps.body, R"({"ok":true,"maps":["cs_office","de_dust2"]})");
    EXPECT_EQ(dash.get("/api/servers/dust/maps", kViewerToken).status, 403);
    EXPECT_EQ(dash.get("/api/servers/dust/rcon", kAdminToken).body, R"({"ok":true,"state":"ready"})");
    EXPECT_EQ(dash.get("/api/servers/dust/rcon", kViewerToken).status, 403);
    EXPECT_EQ(dash.get("/api/servers/nosuch/rcon", kAdminToken).status, 404);
    // A password set is done, and kept out of the trail.
    EXPECT_EQ(dash.act(R"({"action":"set","name":"sv_password","value":"hush-77"})").status, 200);
    EXPECT_EQ(dash.read_audit().find("hush-77"), std::string::npos);
    EXPECT_NE(dash.read_audit().find("\"value\":\"(hidden)\""), std::string::npos);
}

TEST(WebAccessActions, ViewersThePublicAndOtherOriginsAreRefusedEveryAction) {
    Dashboard dash({"--public", "--public-delay", "0"});
    for (const char *body : kEveryAction) {
        EXPECT_EQ(dash.act(body, kViewerToken).status, 403) << body;
        EXPECT_EQ(dash.post(body, "").status, 403) << body;            // the public view
        EXPECT_EQ(dash.act(body, "not-a-token").status, 403) << body;  // as public as no token
    }
    const std::string cookie = std::string("Cookie: orlex_token=") + kAdminToken + "\r\n";
    const HttpReply session = dash.web_get("/api/session", cookie);
    ASSERT_EQ(session.status, 200);
    const size_t at = session.body.find("\"csrf\":\"");
    ASSERT_NE(at, std::string::npos) << session.body;
    const std::string csrf = "X-CSRF-Token: " + session.body.substr(at + 8, 64) + "\r\n";
    const std::string origin = "Origin: " + dash.origin() + "\r\n";
    const char *kick = kEveryAction[0];
    EXPECT_EQ(dash.post(kick, cookie + csrf + "Origin: http://evil.example\r\n").status, 403);
    EXPECT_EQ(dash.post(kick, cookie + csrf).status, 403);    // no Origin
    EXPECT_EQ(dash.post(kick, cookie + origin).status, 403);  // no CSRF value
    EXPECT_EQ(dash.post(kick, cookie + origin + "X-CSRF-Token: 00\r\n").status, 403);
    EXPECT_TRUE(dash.console_.lines().empty());
    // A token in the URL lets the page in, never acts.
    EXPECT_EQ(dash.post(kick, "").status, 403);
    EXPECT_EQ(
        web_testing::http_exchange(dash.port_, std::string("POST /api/servers/dust/actions?token=") + kAdminToken +
                                                   " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                   "Connection: close\r\nContent-Length: 2\r\n\r\n{}")
            .status,
        403);
    EXPECT_TRUE(dash.console_.lines().empty());
    const HttpReply page = dash.post(kick, cookie + origin + csrf);
    EXPECT_EQ(page.status, 200) << page.body;
    EXPECT_EQ(dash.console_.lines().size(), 1u);
    // The refusals of known users are in the trail, with why.
    EXPECT_NE(dash.read_audit().find(R"("user":"watcher")"), std::string::npos);
    EXPECT_NE(dash.read_audit().find("another origin"), std::string::npos);
}

TEST(WebAccessActions, BadArgumentsAStoppedConsoleAndTheRateReachNothing) {
    Dashboard dash;
    const std::pair<std::string, int> refused[] = {
        {R"({"action":"kick","user_id":5,"reason":"x; quit"})", 400},
        {R"({"action":"kick","user_id":5,"reason":"x\r\nquit"})", 400},
        {R"({"action":"kick","user_id":5,"reason":"a \"quote"})", 400},
        {R"({"action":"say","text":"x\u0000y"})", 400},
        {R"({"action":"kick","user_id":"5"})", 400},
        {R"({"action":"changelevel","map":"de_dust;rcon_password x"})", 400},
        {R"({"action":"set","name":"rcon_password","value":"x"})", 400},
        {"not json", 400},
        {R"({"action":"kick","user_id":42})", 404},
    };
    for (const auto &[body, status] : refused) {
        const HttpReply reply = dash.act(body);
        EXPECT_EQ(reply.status, status) << body;
        EXPECT_EQ(reply.body.rfind("{\"ok\":false,\"error\":\"", 0), 0u) << reply.body;
    }
    EXPECT_TRUE(dash.console_.lines().empty());
    EXPECT_EQ(dash.act(R"({"action":"say","text":"x"})", "not-a-token").status, 401);
    EXPECT_EQ(dash.post(R"({"action":"say","text":"x"})", "").status, 401);
    EXPECT_EQ(dash.act(R"({"action":"say","text":"x"})").status, 200);
    EXPECT_EQ(dash.post(kEveryAction[2], std::string("Authorization: Bearer ") + kAdminToken + "\r\n", "nosuch").status,
              404);
    // A body longer than an action's is refused before it is read whole.
    EXPECT_EQ(dash.act("{\"action\":\"say\",\"text\":\"" + std::string(5000, 'a') + "\"}").status, 400);
    // A console that may not be used (its password refused): 409, nothing sent.
    dash.console_.refuse();
    const HttpReply stopped = dash.act(R"({"action":"say","text":"y"})");
    EXPECT_EQ(stopped.status, 409);
    EXPECT_EQ(stopped.body, R"({"ok":false,"error":"rcon password refused"})");
    EXPECT_EQ(dash.get("/api/servers/dust/rcon", kAdminToken).body, R"({"ok":true,"state":"rcon password refused"})");
    EXPECT_EQ(dash.console_.lines(), std::vector<std::string>{"say x"});
    // Over the rate: every attempt of the minute counts, refused ones included.
    int last = 200;
    for (int at = 0; at < 40 && last != 429; ++at)
        last = dash.act(R"({"action":"say","text":"spam"})").status;
    EXPECT_EQ(last, 429);
}

TEST(WebAccessActions, AUserRemovedFromTheFileHasItsPageClosed) {
    Dashboard dash;
    web_testing::Viewer admin(dash.port_, std::string("Authorization: Bearer ") + kAdminToken + "\r\n");
    web_testing::Viewer viewer(dash.port_, std::string("Authorization: Bearer ") + kViewerToken + "\r\n");
    ASSERT_TRUE(admin.open());
    ASSERT_TRUE(viewer.open());
    viewer.watch("dust");
    ASSERT_TRUE(viewer.wait_for_state("\"name\":\"dust\""));
    EXPECT_EQ(dash.get("/api/servers", kViewerToken).status, 200);
    dash.write_users(false);
    EXPECT_TRUE(viewer.closed_by_gateway(kWait));
    EXPECT_EQ(dash.get("/api/servers", kViewerToken).status, 401);
    EXPECT_EQ(web_testing::Viewer(dash.port_, std::string("Authorization: Bearer ") + kViewerToken + "\r\n").status(),
              401);
    // The admin stays.
    admin.watch("dust");
    EXPECT_TRUE(admin.wait_for_state("\"name\":\"dust\""));
}

TEST(WebAccessPublic, ShowsEachServerTheDelayLateAndNothingPrivate) {
    Dashboard dash({"--public", "--public-delay", "2"});
    web_testing::Viewer page(dash.port_);
    ASSERT_TRUE(page.open());
    page.watch("dust");
    ASSERT_TRUE(dash.plugin_.send(Dashboard::players(4321)));
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(testing_support::wait_until(
        [&] { return dash.get("/api/servers/dust", kAdminToken).body.find("\"x\":4321") != std::string::npos; },
        kWait));
    // The public sees 4321 only once it is two seconds old: never before, and then within the wait.
    ASSERT_TRUE(page.wait_for_state("\"x\":4321"));
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));
    const HttpReply detail = dash.get("/api/servers/dust");
    const HttpReply list = dash.get("/api/servers");
    EXPECT_EQ(detail.status, 200);
    EXPECT_NE(detail.body.find("\"x\":4321"), std::string::npos);
    for (const std::string &json : {detail.body, list.body})
        for (const std::string &secret :
             std::vector<std::string>{"STEAM_0", "10.0.0.5", "10.0.0.6", kJoinPassword, dash.plugin_.address()})
            EXPECT_EQ(json.find(secret), std::string::npos) << secret << " in " << json;
    EXPECT_EQ(dash.get("/metrics").status, 401);
    EXPECT_EQ(dash.get("/metrics", kViewerToken).status, 200);
    EXPECT_NE(dash.get("/api/servers", kAdminToken).body.find(dash.plugin_.address()), std::string::npos);
}

}  // namespace
