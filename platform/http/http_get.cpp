#include "platform/http/http_get.h"

#include <curl/curl.h>

#include <cctype>
#include <mutex>

namespace orva::platform {

namespace {

struct Transfer {
    const HttpRequest* request = nullptr;
    HttpResponse response;
    bool too_large = false;
    bool abandoned = false;
};

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    std::size_t n = size * count;
    if (t->response.body.size() + n > t->request->max_bytes) {
        t->too_large = true;
        return 0; // makes libcurl stop with a write error
    }
    t->response.body.append(data, n);
    return n;
}

std::string trimmed(std::string s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    std::size_t start = 0;
    while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start])))
        ++start;
    return s.substr(start);
}

bool header_is(const std::string& line, const char* name, std::string& value)
{
    std::size_t colon = line.find(':');
    if (colon == std::string::npos)
        return false;
    std::string key = line.substr(0, colon);
    std::string want = name;
    if (key.size() != want.size())
        return false;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(key[i])) != std::tolower(static_cast<unsigned char>(want[i])))
            return false;
    value = trimmed(line.substr(colon + 1));
    return true;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    std::size_t n = size * count;
    std::string line(data, n);
    // A new status line (after a redirect) starts the headers over.
    if (line.rfind("HTTP/", 0) == 0) {
        t->response.etag.clear();
        t->response.last_modified.clear();
        t->response.content_type.clear();
        return n;
    }
    std::string value;
    if (header_is(line, "ETag", value))
        t->response.etag = value;
    else if (header_is(line, "Last-Modified", value))
        t->response.last_modified = value;
    else if (header_is(line, "Content-Type", value))
        t->response.content_type = value;
    return n;
}

int on_progress(void* user, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    auto* t = static_cast<Transfer*>(user);
    if (t->request->progress && !t->request->progress(std::uint64_t(now), std::uint64_t(total))) {
        t->abandoned = true;
        return 1;
    }
    return 0;
}

void init_once()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

Result<HttpResponse> http_get(const HttpRequest& request)
{
    init_once();
    CURL* curl = curl_easy_init();
    if (!curl)
        return make_error("cannot start a transfer", kHttpTransport);
    Transfer t;
    t.request = &request;
    char error[CURL_ERROR_SIZE] = {};
    curl_slist* headers = nullptr;
    if (!request.if_none_match.empty())
        headers = curl_slist_append(headers, ("If-None-Match: " + request.if_none_match).c_str());
    if (!request.if_modified_since.empty())
        headers = curl_slist_append(headers, ("If-Modified-Since: " + request.if_modified_since).c_str());

    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(request.connect_timeout.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(request.total_timeout.count()));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, on_progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    // Accept whatever compression libcurl can undo.
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    if (!request.user_agent.empty())
        curl_easy_setopt(curl, CURLOPT_USERAGENT, request.user_agent.c_str());
    if (headers)
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

    CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);

    if (rc != CURLE_OK) {
        std::string why = error[0] ? std::string(error) : curl_easy_strerror(rc);
        while (!why.empty() && (why.back() == '\n' || why.back() == '.'))
            why.pop_back();
        if (t.too_large)
            return make_error("larger than " + std::to_string(request.max_bytes / (1024 * 1024)) + " MiB", kHttpTooLarge);
        if (t.abandoned)
            return make_error("abandoned", kHttpAbandoned);
        if (rc == CURLE_OPERATION_TIMEDOUT)
            return make_error("timed out: " + why, kHttpTimeout);
        if (rc == CURLE_PARTIAL_FILE)
            return make_error("truncated: " + why, kHttpTruncated);
        return make_error(why, kHttpTransport);
    }
    t.response.status = status;
    return std::move(t.response);
}

} // namespace orva::platform
