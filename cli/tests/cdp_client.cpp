#include "cli/tests/cdp_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>

#include <random>
#include <regex>
#include <thread>

namespace orva::tools {

namespace {

int connect_loopback(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

bool send_all(int fd, const std::string& data)
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += std::size_t(n);
    }
    return true;
}

// The body of an answer from the browser's own endpoint ("/json/list"); it wants HTTP/1.1 with
// its own address as the Host.
std::string http_get(int port, const std::string& path)
{
    int fd = connect_loopback(port);
    if (fd < 0)
        return {};
    send_all(fd, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nConnection: close\r\n\r\n");
    std::string out;
    char buf[4096];
    pollfd p{fd, POLLIN, 0};
    std::smatch length;
    while (::poll(&p, 1, 5000) > 0) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        out.append(buf, std::size_t(n));
        const std::size_t head = out.find("\r\n\r\n");
        if (head != std::string::npos && std::regex_search(out, length, std::regex("Content-Length: *([0-9]+)")) &&
            out.size() >= head + 4 + std::stoul(length[1].str()))
            break;
    }
    ::close(fd);
    std::size_t body = out.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : out.substr(body + 4);
}

} // namespace

Browser::~Browser()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (process_)
        process_->stop(std::chrono::milliseconds(3000));
}

Result<std::unique_ptr<Browser>> Browser::start(const std::string& program, const std::filesystem::path& profile)
{
    std::unique_ptr<Browser> b(new Browser());
    // Loopback only: every name but 127.0.0.1 resolves to nothing, and the browser's own
    // background traffic is switched off.
    auto child = Child::start({program, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                               "--no-default-browser-check", "--disable-extensions", "--disable-background-networking",
                               "--disable-component-update", "--disable-sync", "--disable-default-apps", "--no-pings",
                               "--disable-domain-reliability", "--disable-client-side-phishing-detection",
                               "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1", "--no-proxy-server", "--hide-scrollbars",
                               "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
                               "--user-data-dir=" + profile.string(), "--window-size=1280,1800", "about:blank"},
                              {});
    if (!child)
        return child.error();
    b->process_ = std::move(*child);
    int port = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const std::regex listening("DevTools listening on ws://127\\.0\\.0\\.1:([0-9]+)/");
    std::string seen;
    while (port == 0 && std::chrono::steady_clock::now() < until) {
        pollfd p{b->process_->output_fd(), POLLIN, 0};
        ::poll(&p, 1, 200);
        for (const std::string& l : b->process_->read_lines()) {
            seen += l + "\n";
            std::smatch m;
            if (std::regex_search(l, m, listening))
                port = std::stoi(m[1].str());
        }
        if (b->process_->poll_exit())
            return make_error("chromium ended at once:\n" + seen);
    }
    if (port == 0)
        return make_error("chromium did not open its DevTools port:\n" + seen);
    std::string page_url;
    for (int tries = 0; tries < 50 && page_url.empty(); ++tries) {
        QJsonArray targets = QJsonDocument::fromJson(QByteArray::fromStdString(http_get(port, "/json/list"))).array();
        for (const QJsonValue& t : targets)
            if (t.toObject()["type"].toString() == "page")
                page_url = t.toObject()["webSocketDebuggerUrl"].toString().toStdString();
        if (page_url.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const std::string prefix = "ws://127.0.0.1:" + std::to_string(port);
    if (page_url.rfind(prefix, 0) != 0)
        return make_error("chromium shows no page to drive");
    const std::string path = page_url.substr(prefix.size());
    b->fd_ = connect_loopback(port);
    if (b->fd_ < 0)
        return make_error("cannot connect to chromium's DevTools port");
    send_all(b->fd_, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                         "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: b3J2YS13ZWItdGVzdC1rZXk=\r\n"
                         "Sec-WebSocket-Version: 13\r\n\r\n");
    std::string head;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (head.find("\r\n\r\n") == std::string::npos) {
        char c;
        if (!b->read_exact(&c, 1, deadline))
            return make_error("chromium did not answer the WebSocket upgrade");
        head += c;
    }
    if (head.find(" 101 ") == std::string::npos)
        return make_error("chromium refused the WebSocket upgrade: " + head);
    return b;
}

Status Browser::read_exact(char* into, std::size_t n, std::chrono::steady_clock::time_point deadline)
{
    std::size_t got = 0;
    while (got < n) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return make_error("timed out");
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0)
            continue;
        ssize_t r = ::recv(fd_, into + got, n - got, 0);
        if (r <= 0)
            return make_error("the browser closed the connection");
        got += std::size_t(r);
    }
    return {};
}

Status Browser::send_text(const std::string& text)
{
    // A client's frames are masked (RFC 6455 section 5.3).
    static std::mt19937 random(12345);
    std::string frame;
    frame += char(0x81);
    if (text.size() < 126) {
        frame += char(0x80 | text.size());
    } else if (text.size() < 65536) {
        frame += char(0x80 | 126);
        frame += char(text.size() >> 8);
        frame += char(text.size() & 0xFF);
    } else {
        frame += char(0x80 | 127);
        for (int i = 7; i >= 0; --i)
            frame += char((std::uint64_t(text.size()) >> (8 * i)) & 0xFF);
    }
    char mask[4];
    for (char& m : mask)
        m = char(random());
    frame.append(mask, 4);
    for (std::size_t i = 0; i < text.size(); ++i)
        frame += char(text[i] ^ mask[i % 4]);
    if (!send_all(fd_, frame))
        return make_error("cannot write to the browser");
    return {};
}

Result<std::string> Browser::receive_text(std::chrono::steady_clock::time_point deadline)
{
    std::string message;
    for (;;) {
        unsigned char head[2];
        if (Status s = read_exact(reinterpret_cast<char*>(head), 2, deadline); !s)
            return s.error();
        const int opcode = head[0] & 0x0F;
        const bool fin = head[0] & 0x80;
        std::uint64_t length = head[1] & 0x7F;
        if (length >= 126) {
            unsigned char ext[8];
            const std::size_t n = length == 126 ? 2 : 8;
            if (Status s = read_exact(reinterpret_cast<char*>(ext), n, deadline); !s)
                return s.error();
            length = 0;
            for (std::size_t i = 0; i < n; ++i)
                length = (length << 8) | ext[i];
        }
        std::string payload(std::size_t(length), '\0');
        if (Status s = read_exact(payload.data(), payload.size(), deadline); !s)
            return s.error();
        if (opcode == 0x8)
            return make_error("the browser closed the DevTools connection");
        if (opcode == 0x9 || opcode == 0xA)
            continue; // pings are answered by nobody here: the browser does not send them unasked
        message += payload;
        if (fin)
            return message;
    }
}

Result<QJsonObject> Browser::call(const std::string& method, const QJsonObject& params, std::chrono::milliseconds timeout)
{
    const int id = next_id_++;
    QJsonObject command{{"id", id}, {"method", QString::fromStdString(method)}, {"params", params}};
    if (Status s = send_text(QJsonDocument(command).toJson(QJsonDocument::Compact).toStdString()); !s)
        return s.error();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto text = receive_text(deadline);
        if (!text)
            return make_error(method + ": " + text.error().message);
        QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(*text)).object();
        if (answer["id"].toInt() != id)
            continue; // an event
        if (answer.contains("error"))
            return make_error(method + ": " + QJsonDocument(answer["error"].toObject()).toJson().toStdString());
        return answer["result"].toObject();
    }
}

Result<QJsonValue> Browser::evaluate(const std::string& expression)
{
    auto r = call("Runtime.evaluate", {{"expression", QString::fromStdString(expression)},
                                       {"returnByValue", true},
                                       {"awaitPromise", true}});
    if (!r)
        return r.error();
    if (r->contains("exceptionDetails"))
        return make_error("the page threw: " +
                          QJsonDocument((*r)["exceptionDetails"].toObject()).toJson(QJsonDocument::Compact).toStdString());
    return QJsonValue((*r)["result"].toObject()["value"]);
}

bool Browser::wait_for(const std::string& expression, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        auto v = evaluate(expression);
        if (v && v->toBool())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return false;
}

Result<std::string> Browser::screenshot()
{
    auto r = call("Page.captureScreenshot", {{"format", "png"}, {"captureBeyondViewport", true}});
    if (!r)
        return r.error();
    return QByteArray::fromBase64((*r)["data"].toString().toLatin1()).toStdString();
}

} // namespace orva::tools
