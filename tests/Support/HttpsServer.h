#pragma once
// A small https server on 127.0.0.1 for tests, with a certificate made when it
// starts: each connection gets one answer from the handler. It counts what it is
// asked and how many connections it held at once, and can keep silent or send a
// body without end. Nothing leaves the machine.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace httpstest {
struct Reply {
    enum class Kind { answer, silent, endless };
    Kind kind = Kind::answer;
    int status = 200;
    std::string body;
    std::vector<std::string> headers;  // "Name: value"

    static Reply silent() { return {Kind::silent, 0, {}, {}}; }
    static Reply redirect(const std::string& to) { return {Kind::answer, 302, {}, {"Location: " + to}}; }
};

class HttpsServer {
public:
    using Handler = std::function<Reply(const std::string& target)>;

    explicit HttpsServer(Handler handler) : handler_(std::move(handler)) {
        ::signal(SIGPIPE, SIG_IGN);  // a client that hangs up mid-body must not end the test process
        makeCertificate();
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 64) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no test server socket");
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] {
            for (int fd; (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                std::lock_guard lock(mutex_);
                if (stopping_) return void(::close(fd));
                ++connections_;
                open_.push_back(fd);
                threads_.emplace_back([this, fd] { serve(fd); });
            }
        });
    }

    ~HttpsServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
        }
        ::shutdown(listener_, SHUT_RDWR);
        acceptor_.join();
        for (auto& t : threads_) t.join();
        ::close(listener_);
        SSL_CTX_free(context_);
    }

    std::string url(const std::string& target = "/") const { return "https://127.0.0.1:" + std::to_string(port_) + target; }
    int port() const { return port_; }
    const std::string& certificate() const { return certificatePem_; }
    // Connections accepted (a plain-text one included), requests read, and the most
    // requests answered at once: from reading one to starting its answer, which the
    // client cannot have seen yet, so a connection it already let go never counts.
    int connections() const { return connections_; }
    std::vector<std::string> targets() const {
        std::lock_guard lock(mutex_);
        return targets_;
    }
    int peakRequests() const {
        std::lock_guard lock(mutex_);
        return peak_;
    }

private:
    void makeCertificate() {
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* cert = X509_new();
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_set_version(cert, 2);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509V3_CTX ctx;
        X509V3_set_ctx_nodb(&ctx);
        X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
        for (auto [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1"},
                                  std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
            X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
            X509_add_ext(cert, ext, -1);
            X509_EXTENSION_free(ext);
        }
        X509_sign(cert, key, EVP_sha256());
        BIO* pem = BIO_new(BIO_s_mem());
        PEM_write_bio_X509(pem, cert);
        char* data = nullptr;
        certificatePem_.assign(data, static_cast<size_t>(BIO_get_mem_data(pem, &data)));
        BIO_free(pem);
        context_ = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(context_, cert);
        SSL_CTX_use_PrivateKey(context_, key);
        X509_free(cert);
        EVP_PKEY_free(key);
    }

    void serve(int fd) {
        SSL* ssl = SSL_new(context_);
        SSL_set_fd(ssl, fd);
        std::string request;
        char buffer[4096];
        if (SSL_accept(ssl) == 1)
            for (int n; request.find("\r\n\r\n") == std::string::npos && (n = SSL_read(ssl, buffer, sizeof buffer)) > 0;)
                request.append(buffer, static_cast<size_t>(n));
        const size_t space = request.find(' '), end = request.find(' ', space + 1);
        if (space != std::string::npos && end != std::string::npos) {
            const std::string target = request.substr(space + 1, end - space - 1);
            {
                std::lock_guard lock(mutex_);
                targets_.push_back(target);
                peak_ = std::max(peak_, ++answering_);
            }
            const Reply reply = handler_(target);
            {
                std::lock_guard lock(mutex_);
                --answering_;
            }
            answer(ssl, reply);
        }
        SSL_shutdown(ssl);
        SSL_free(ssl);
        std::lock_guard lock(mutex_);
        open_.erase(std::find(open_.begin(), open_.end(), fd));
        ::close(fd);
    }

    void answer(SSL* ssl, const Reply& reply) {
        if (reply.kind == Reply::Kind::silent) {  // until the client hangs up or the server stops
            for (char c; SSL_read(ssl, &c, 1) > 0;) {}
            return;
        }
        std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Test\r\nConnection: close\r\n";
        for (const auto& h : reply.headers) head += h + "\r\n";
        if (reply.kind == Reply::Kind::answer) head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        const std::string body = reply.kind == Reply::Kind::answer ? reply.body : std::string(64 * 1024, 'x');
        if (SSL_write(ssl, (head + "\r\n").data(), static_cast<int>(head.size() + 2)) <= 0 || body.empty()) return;
        while (SSL_write(ssl, body.data(), static_cast<int>(body.size())) > 0 && reply.kind == Reply::Kind::endless &&
               !stopping_) {}
    }

    Handler handler_;
    SSL_CTX* context_ = nullptr;
    std::string certificatePem_;
    int listener_ = -1, port_ = 0;
    std::thread acceptor_;
    std::vector<std::thread> threads_;
    mutable std::mutex mutex_;
    std::vector<int> open_;
    std::vector<std::string> targets_;
    int answering_ = 0, peak_ = 0;
    std::atomic<int> connections_{0};
    std::atomic<bool> stopping_{false};
};
}  // namespace httpstest
