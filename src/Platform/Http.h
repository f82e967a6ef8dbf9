#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

// Read-only web requests (update feeds, the store lookup): https only, redirects
// included, every transfer bounded in time and size, a few at once. No toolkit.
namespace Platform::Http {
struct Limits {
    std::chrono::milliseconds connect{10000};  // to reach the server
    std::chrono::milliseconds total{30000};    // for the whole transfer, redirects included
    int concurrent = 4;                        // transfers in flight; the rest wait their turn
};

struct Response {
    bool ok = false;    // the whole body arrived
    long status = 0;    // the HTTP status of the last answer (not judged here)
    std::string body;
    std::string error;  // why not, when !ok
    bool expired = false;  // the caller's deadline came before the answer
};

using Deadline = std::chrono::steady_clock::time_point;

// An absolute https URL, the scheme written in lower case, that parses as a URL.
bool isHttpsUrl(std::string_view text);
// The text percent-encoded for a query value: every byte outside A-Z a-z 0-9 - . _ ~.
std::string queryValue(std::string_view text);

// One worker thread drives every transfer of the client over one multi handle;
// callers wait on futures. Thread-safe.
class Client {
public:
    explicit Client(Limits limits = {});
    // Transfers still running end as failures first.
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // The application's client, made on first use and kept for the process.
    static Client& shared();

    // A GET of `url`. The answer comes once the body arrived whole or the transfer
    // failed: not https (a redirect included), a time limit, or more than
    // `maxBytes` of body, which ends the transfer at once. With a deadline, a
    // transfer still waiting for its turn then fails without starting, and one
    // under way ends then.
    std::future<Response> get(std::string url, std::size_t maxBytes, std::optional<Deadline> deadline = std::nullopt);

    // Tests: trust only these certificates (PEM) instead of the system's.
    void setTrustedCertificatesForTesting(std::string pem);

private:
    struct Transfer;
    void run();

    Limits limits_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::unique_ptr<Transfer>> waiting_;
    bool stopping_ = false;
    std::string trusted_;
    void* multi_ = nullptr;  // CURLM*, owned by the worker once it runs
    std::thread worker_;
};
}  // namespace Platform::Http
