#include "Platform/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace Platform::Http {
namespace {
constexpr long kMaxRedirects = 10;

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
}  // namespace

struct Client::Transfer {
    std::string url;
    std::size_t maxBytes = 0;
    std::optional<Deadline> deadline;
    bool cutByDeadline = false;  // its time limit is what was left before the deadline
    std::promise<Response> promise;
    std::string body;
    bool tooLarge = false;
    char error[CURL_ERROR_SIZE] = {};
    CURL* easy = nullptr;

    static size_t write(char* data, size_t size, size_t count, void* self) {
        auto* t = static_cast<Transfer*>(self);
        const size_t n = size * count;
        if (n > t->maxBytes - t->body.size()) {
            t->tooLarge = true;
            return 0;  // ends the transfer now
        }
        t->body.append(data, n);
        return n;
    }

    void fail(std::string why, bool expired = false) {
        Response r;
        r.error = std::move(why);
        r.expired = expired;
        promise.set_value(std::move(r));
    }
    void expire() { fail("The time for the request ran out before it started.", true); }
};

bool isHttpsUrl(std::string_view text) {
    if (text.substr(0, 8) != "https://" || text.find('\0') != std::string_view::npos) return false;
    CURLU* url = curl_url();
    if (!url) return false;
    const std::string copy(text);
    char* host = nullptr;
    const bool ok = curl_url_set(url, CURLUPART_URL, copy.c_str(), 0) == CURLUE_OK &&
                    curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host && *host;
    curl_free(host);
    curl_url_cleanup(url);
    return ok;
}

std::string queryValue(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += ch;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

Client::Client(Limits limits) : limits_(limits) {
    globalInit();
    multi_ = curl_multi_init();
}

Client::~Client() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
    if (worker_.joinable()) worker_.join();
    for (auto& t : waiting_) t->fail("The request was cancelled.");
    if (multi_) curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

Client& Client::shared() {
    // Never released: a transfer may still run when the process ends.
    static Client* client = new Client;
    return *client;
}

void Client::setTrustedCertificatesForTesting(std::string pem) {
    std::lock_guard lock(mutex_);
    trusted_ = std::move(pem);
}

std::future<Response> Client::get(std::string url, std::size_t maxBytes, std::optional<Deadline> deadline) {
    auto t = std::make_unique<Transfer>();
    t->url = std::move(url);
    t->maxBytes = maxBytes;
    t->deadline = deadline;
    std::future<Response> answer = t->promise.get_future();
    if (!multi_) {
        t->fail("The network library could not start.");
        return answer;
    }
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            t->fail("The request was cancelled.");
            return answer;
        }
        waiting_.push_back(std::move(t));
        // The worker starts with the first request: a client never asked costs no thread.
        if (!worker_.joinable()) worker_ = std::thread([this] { run(); });
    }
    wake_.notify_one();
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
    return answer;
}

void Client::run() {
    auto* multi = static_cast<CURLM*>(multi_);
    std::vector<std::unique_ptr<Transfer>> active;
    const auto start = [&](std::unique_ptr<Transfer> t, const std::string& trusted) {
        CURL* e = curl_easy_init();
        if (!e) {
            t->fail("The network library could not start.");
            return;
        }
        long total = static_cast<long>(limits_.total.count());
        if (t->deadline) {
            using namespace std::chrono;
            const long left = static_cast<long>(duration_cast<milliseconds>(*t->deadline - steady_clock::now()).count());
            if (left <= 0) {
                curl_easy_cleanup(e);
                return t->expire();
            }
            t->cutByDeadline = left < total;
            total = std::min(total, left);
        }
        t->easy = e;
        curl_easy_setopt(e, CURLOPT_URL, t->url.c_str());
        // Redirects are followed, but only to https: never to plain http, a file or another scheme.
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https");
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
        // libcurl waits for ever by default: a silent server would hold the check.
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.connect.count()));
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, total);
        curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t->maxBytes));
        curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");  // the cap counts decoded bytes
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_USERAGENT, "Quelto");
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Transfer::write);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->error);
        curl_easy_setopt(e, CURLOPT_PRIVATE, t.get());
        if (!trusted.empty()) {
            curl_blob blob{const_cast<char*>(trusted.data()), trusted.size(), CURL_BLOB_COPY};
            curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &blob);
        }
        if (curl_multi_add_handle(multi, e) != CURLM_OK) {
            curl_easy_cleanup(e);
            t->fail("The network library could not start the request.");
            return;
        }
        active.push_back(std::move(t));
    };
    const auto finish = [&](CURL* e, CURLcode result) {
        curl_multi_remove_handle(multi, e);
        for (auto it = active.begin(); it != active.end(); ++it) {
            if ((*it)->easy != e) continue;
            Transfer& t = **it;
            Response r;
            curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &r.status);
            if (t.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
                r.error = "The answer is larger than " + std::to_string(t.maxBytes) + " bytes.";
            } else if (result != CURLE_OK) {
                r.error = t.error[0] ? t.error : curl_easy_strerror(result);
                r.expired = result == CURLE_OPERATION_TIMEDOUT && t.cutByDeadline;
            } else {
                r.ok = true;
                r.body = std::move(t.body);
            }
            curl_easy_cleanup(e);
            t.promise.set_value(std::move(r));
            active.erase(it);
            return;
        }
    };

    for (;;) {
        int pollMs = 1000;
        {
            std::unique_lock lock(mutex_);
            if (active.empty()) wake_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
            if (stopping_) break;
            while (static_cast<int>(active.size()) < std::max(limits_.concurrent, 1) && !waiting_.empty()) {
                auto t = std::move(waiting_.front());
                waiting_.pop_front();
                start(std::move(t), trusted_);
            }
            // Those still waiting for a turn fail at their deadline, not when a turn comes.
            const auto now = std::chrono::steady_clock::now();
            for (auto it = waiting_.begin(); it != waiting_.end();) {
                if (!(*it)->deadline) {
                    ++it;
                    continue;
                }
                if (*(*it)->deadline <= now) {
                    (*it)->expire();
                    it = waiting_.erase(it);
                    continue;
                }
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*(*it)->deadline - now).count();
                pollMs = std::min(pollMs, static_cast<int>(left));
                ++it;
            }
        }
        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(multi, &left))
            if (m->msg == CURLMSG_DONE) finish(m->easy_handle, m->data.result);
        if (!active.empty()) curl_multi_poll(multi, nullptr, 0, pollMs, nullptr);
    }
    for (auto& t : active) {
        curl_multi_remove_handle(multi, t->easy);
        curl_easy_cleanup(t->easy);
        t->fail("The request was cancelled.");
    }
}
}  // namespace Platform::Http
