#pragma once
// The plain URL reader of the picture reading.

#include "text/Text.h"

#include <cstddef>

namespace gleaner {

/// Bodies larger than this are refused (a picture, not a file download).
inline constexpr std::size_t kMaxPictureBytes = 64u << 20;

/// One HTTP/1.0 GET of `address` sending only the Host line and "Accept: */*" (no cookies, no
/// agent), following redirects within http and https. Returns the body as received, whatever the
/// status; empty bytes on any failure: no connection within 30 s, under 1 byte/s for 60 s, a body
/// over kMaxPictureBytes, an address that is not http or https.
Bytes DownloadPicture(const Text& address);

} // namespace gleaner
