#include "http/CurlHandle.h"

#include <mutex>
#include <utility>

namespace gleaner {

bool InitCurl() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

CurlHandle::CurlHandle() {
    if (!InitCurl())
        return;
    handle_ = curl_easy_init();
    if (!handle_)
        return;
    errorBuffer_ = std::make_unique<char[]>(CURL_ERROR_SIZE);
    errorBuffer_[0] = '\0';
    // Worker threads: no signals for name resolution time-outs.
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, errorBuffer_.get());
}

CurlHandle::~CurlHandle() { Release(); }

CurlHandle::CurlHandle(CurlHandle&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), headers_(std::exchange(other.headers_, nullptr)),
      errorBuffer_(std::move(other.errorBuffer_)) {}

CurlHandle& CurlHandle::operator=(CurlHandle&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = std::exchange(other.handle_, nullptr);
        headers_ = std::exchange(other.headers_, nullptr);
        errorBuffer_ = std::move(other.errorBuffer_);
    }
    return *this;
}

bool CurlHandle::AddHeader(const std::string& line) {
    curl_slist* grown = curl_slist_append(headers_, line.c_str());
    if (!grown)
        return false;
    headers_ = grown;
    return true;
}

void CurlHandle::ApplyHeaders() {
    if (handle_)
        curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
}

void CurlHandle::Release() {
    // The handle first: it may still point at the list.
    if (handle_)
        curl_easy_cleanup(handle_);
    handle_ = nullptr;
    curl_slist_free_all(headers_);
    headers_ = nullptr;
    errorBuffer_.reset();
}

} // namespace gleaner
