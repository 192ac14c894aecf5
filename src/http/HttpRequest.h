#pragma once
// HttpRequest: one HTTP exchange (plus its own 301 rule) on the calling thread, over libcurl.
// HttpGetText: a plain GET through the process-wide cookie store.

#include "text/Text.h"

#include <cstddef>

namespace gleaner {

/// The optional arguments. A null pointer is an omitted argument; for the in/out and out
/// arguments a given pointer is the caller's variable, which the routine rewrites.
struct HttpRequestArgs {
    int method = 0;                    // 1: POST; other: GET; non-zero sends a body
    Text postText;                     // the body as text, used when postBytes is empty
    Text* cookies = nullptr;           // in/out; given (even empty) switches the cookie store off
    Text* responseCookies = nullptr;   // out
    Text* headers = nullptr;           // in/out: extra lines joined by "\r\n"; completed with defaults
    Text* location = nullptr;          // out
    bool noRedirect = false;
    Bytes* postBytes = nullptr;        // in/out
    const Text* proxy = nullptr;       // host:port for plain http, when given
    Text* responseHeaders = nullptr;   // out: raw header text, status line first
};

extern const char* const DefaultUserAgent;

/// The response body; empty bytes on failure (the caller's variables are then left as passed).
Bytes HttpRequest(const Text& url, const HttpRequestArgs& args = {});
/// GET with every argument omitted; the body as text up to its first zero byte.
Text HttpGetText(const Text& url);

/// Bounds of every request. The defaults are the program's; tests shorten them.
struct HttpLimits {
    long connectTimeoutMs = 30000;
    long lowSpeedBytesPerSecond = 1;          // abort when slower than this ...
    long lowSpeedSeconds = 60;                // ... for this long
    std::size_t maxBodyBytes = 256u << 20;    // a longer body is cut here
    std::size_t maxHeaderBytes = 1u << 20;    // a longer header text fails the request
    int maxOwnRedirects = 10;                 // re-requests of the 301 rule
    int maxFollowedRedirects = 10;            // redirects libcurl follows within one exchange
};

/// Process-wide; takes effect for requests that start afterwards.
void SetHttpLimits(const HttpLimits& limits);
HttpLimits GetHttpLimits();

} // namespace gleaner
