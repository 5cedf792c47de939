// One HTTP(S) GET with libcurl: certificates checked, the usual proxy variables honoured,
// redirects followed, timeouts for the connection and the whole transfer, and the validators
// of a conditional request. Transport failures are errors; any HTTP status is a response.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/result.h"

namespace orva::platform {

struct HttpRequest {
    std::string url;
    std::string if_none_match;     // an ETag from an earlier response
    std::string if_modified_since; // a Last-Modified from an earlier response
    std::chrono::milliseconds connect_timeout{10000};
    std::chrono::milliseconds total_timeout{60000};
    std::size_t max_bytes = 8 * 1024 * 1024;
    std::string user_agent;
    // Called as bytes arrive (received, expected; expected 0 when unknown). Returning false
    // abandons the transfer.
    std::function<bool(std::uint64_t, std::uint64_t)> progress;
};

struct HttpResponse {
    long status = 0; // of the last response after redirects
    std::string body;
    std::string etag;
    std::string last_modified;
    std::string content_type;
};

// Error codes: what went wrong, for callers that treat some failures apart.
enum HttpFailure { kHttpTransport = 1, kHttpTimeout = 2, kHttpTruncated = 3, kHttpTooLarge = 4, kHttpAbandoned = 5 };

Result<HttpResponse> http_get(const HttpRequest& request);

} // namespace orva::platform
