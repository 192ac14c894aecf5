#pragma once
// Thin owners of libcurl handles.

#include <curl/curl.h>

#include <memory>
#include <string>

namespace gleaner {

/// curl_global_init, once per process. main calls it before any thread starts; every entry
/// point into libcurl calls it too, so a program that forgot still works. False when it failed.
bool InitCurl();

/// One easy handle with the header list and error buffer that belong to it. Move-only: curl
/// keeps pointers to the list and the buffer, so both live exactly as long as the handle.
class CurlHandle {
public:
    CurlHandle();
    ~CurlHandle();
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;
    CurlHandle(CurlHandle&& other) noexcept;
    CurlHandle& operator=(CurlHandle&& other) noexcept;

    CURL* Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    /// Appends one line to the request header list; false when out of memory.
    bool AddHeader(const std::string& line);
    /// Hands the header list to the handle (CURLOPT_HTTPHEADER).
    void ApplyHeaders();
    const char* ErrorText() const { return errorBuffer_ ? errorBuffer_.get() : ""; }

private:
    void Release();

    CURL* handle_ = nullptr;
    curl_slist* headers_ = nullptr;
    std::unique_ptr<char[]> errorBuffer_;
};

} // namespace gleaner
