// The web client against a local https server: what it fetches, what it refuses,
// and that no server can hold it past its limits.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Platform/Http.h"
#include "Support/HttpsServer.h"

using namespace std::chrono_literals;
using httpstest::Reply;
using Platform::Http::Client;

namespace {
constexpr std::size_t cap = 100000;

struct Served {
    httpstest::HttpsServer server{[this](const std::string& target) -> Reply {
        if (target == "/ok") return {Reply::Kind::answer, 200, "hello", {}};
        if (target == "/missing") return {Reply::Kind::answer, 404, "gone", {}};
        if (target == "/hop") return Reply::redirect(server.url("/ok"));
        if (target == "/down") return Reply::redirect("http://127.0.0.1:" + std::to_string(server.port()) + "/ok");
        if (target == "/file") return Reply::redirect("file:///etc/hostname");
        if (target == "/endless") return {Reply::Kind::endless, 200, {}, {}};
        if (target == "/huge") return {Reply::Kind::endless, 200, {}, {"Content-Length: 2147483648"}};
        if (target == "/slow") {
            std::this_thread::sleep_for(150ms);  // the server's pace, not the test's
            return {Reply::Kind::answer, 200, "slow", {}};
        }
        return Reply::silent();
    }};
    Client client{{2000ms, 1500ms, 4}};
    Served() { client.setTrustedCertificatesForTesting(server.certificate()); }
};
}  // namespace

TEST(Http, FetchesHttpsAndRefusesEverythingElseWithinItsLimits) {
    struct Case {
        const char* name;
        std::string target;  // "http:" asks the same server in plain text
        bool ok;
        std::string body;
        int connections;  // the server saw this many
    } cases[] = {
        {"answer", "/ok", true, "hello", 1},
        {"status is the caller's to judge", "/missing", true, "gone", 1},
        {"https redirect followed", "/hop", true, "hello", 2},
        {"redirect to http refused", "/down", false, "", 1},
        {"redirect to a file refused", "/file", false, "", 1},
        {"silent server ends at the time limit", "/silent", false, "", 1},
        {"endless body ends at the cap", "/endless", false, "", 1},
        {"claimed huge body refused", "/huge", false, "", 1},
        {"plain http never asked", "http:", false, "", 0},
    };
    for (const Case& c : cases) {
        Served s;
        const std::string url = c.target == "http:" ? "http://127.0.0.1:" + std::to_string(s.server.port()) + "/ok"
                                                    : s.server.url(c.target);
        auto answer = s.client.get(url, cap);
        // The limit is 1.5 s: an answer this late means none came from the limits.
        ASSERT_EQ(answer.wait_for(5s), std::future_status::ready) << c.name;
        const Platform::Http::Response r = answer.get();
        EXPECT_EQ(r.ok, c.ok) << c.name << ": " << r.error;
        EXPECT_EQ(r.body, c.body) << c.name;
        EXPECT_EQ(r.error.empty(), c.ok) << c.name;
        EXPECT_EQ(s.server.connections(), c.connections) << c.name;
    }
    Served s;
    Client stranger({2000ms, 1500ms, 4});  // trusts the system's authorities only
    EXPECT_FALSE(stranger.get(s.server.url("/ok"), cap).get().ok);
    EXPECT_TRUE(s.server.targets().empty()) << "no request is sent before the server is trusted";
}

TEST(Http, RunsAFewAtOnceAndAnswersEveryRequest) {
    Served s;
    std::vector<std::future<Platform::Http::Response>> answers;
    for (int i = 0; i < 10; ++i) answers.push_back(s.client.get(s.server.url("/slow"), cap));
    for (auto& a : answers) EXPECT_EQ(a.get().body, "slow");
    EXPECT_EQ(s.server.connections(), 10);
    EXPECT_LE(s.server.peakRequests(), 4);
    EXPECT_GE(s.server.peakRequests(), 2) << "requests run side by side";
}
