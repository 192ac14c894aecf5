#include "collect/PictureDownload.h"

#include <curl/curl.h>

#include <memory>

namespace gleaner {
namespace {

struct Download {
    Bytes body;
    bool overflow = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
    auto* download = static_cast<Download*>(user);
    const size_t n = size * count;
    if (download->body.size() + n > kMaxPictureBytes) {
        download->overflow = true;
        return 0; // stops the transfer
    }
    download->body.append(data, n);
    return n;
}

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

} // namespace

Bytes DownloadPicture(const Text& address) {
    if (address.empty())
        return {};
    std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl)
        return {};
    // "Accept: */*" is curl's own default line; stating it keeps it whatever curl's defaults become.
    std::unique_ptr<curl_slist, ListDeleter> headers(curl_slist_append(nullptr, "Accept: */*"));
    char error[CURL_ERROR_SIZE] = {};
    Download download;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, address.c_str());
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxPictureBytes));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &download);
    if (curl_easy_perform(c) != CURLE_OK || download.overflow)
        return {};
    return std::move(download.body);
}

} // namespace gleaner
