#pragma once

#include <curl/curl.h>

#include <memory>

// A libcurl easy handle with what every transfer of ours shares: peer and host verification
// on, http and https only, no signals, and an error buffer of its own. Cleaned up with the
// object. A handle that libcurl could not make is not valid, and nothing may be set on it.
class CurlHandle
{
public:
    CurlHandle();
    // The handle points at the error buffer inside this object, so it may neither be copied
    // nor moved.
    CurlHandle(const CurlHandle &) = delete;
    CurlHandle &operator=(const CurlHandle &) = delete;

    bool isValid() const { return m_handle != nullptr; }
    CURL *get() const { return m_handle.get(); }

    // libcurl's own words on the last failure; empty when it gave none.
    const char *errorString() const { return m_errorText; }
    void clearErrorString() { m_errorText[0] = '\0'; }

private:
    struct Cleanup
    {
        void operator()(CURL *handle) const { curl_easy_cleanup(handle); }
    };

    std::unique_ptr<CURL, Cleanup> m_handle;
    char m_errorText[CURL_ERROR_SIZE] = {};
};
