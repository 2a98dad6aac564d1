#include "tlsoptions.h"

namespace tls {

namespace {

// Where Debian-style systems keep the hashed trust store; used next to an extra CA file so
// that the system's authorities stay trusted when the host names one of its own.
const char *const SystemCaPath = "/etc/ssl/certs";

const char *orNull(const QByteArray &text)
{
    return text.isEmpty() ? nullptr : text.constData();
}

} // namespace

Defaults readDefaults(CURL *handle)
{
    Defaults defaults;
#if LIBCURL_VERSION_NUM >= 0x075400
    if (!handle)
        return defaults;
    char *info = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_CAINFO, &info) == CURLE_OK && info)
        defaults.caInfo = info;
    info = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_CAPATH, &info) == CURLE_OK && info)
        defaults.caPath = info;
#else
    Q_UNUSED(handle)
#endif
    return defaults;
}

void apply(CURL *handle, const Defaults &defaults, const TransportSettings &settings)
{
    if (settings.caFile.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, orNull(defaults.caInfo));
        curl_easy_setopt(handle, CURLOPT_CAPATH, orNull(defaults.caPath));
    } else {
        curl_easy_setopt(handle, CURLOPT_CAINFO, settings.caFile.constData());
        curl_easy_setopt(handle, CURLOPT_CAPATH,
                         defaults.caPath.isEmpty() ? SystemCaPath : defaults.caPath.constData());
    }

    if (settings.encodedCertificatePath.isEmpty()) {
        curl_easy_setopt(handle, CURLOPT_SSLCERT, nullptr);
        curl_easy_setopt(handle, CURLOPT_SSLCERTTYPE, nullptr);
        curl_easy_setopt(handle, CURLOPT_KEYPASSWD, nullptr);
    } else {
        curl_easy_setopt(handle, CURLOPT_SSLCERTTYPE, "P12");
        curl_easy_setopt(handle, CURLOPT_SSLCERT, settings.encodedCertificatePath.constData());
        curl_easy_setopt(handle, CURLOPT_KEYPASSWD, settings.certificatePassword.constData());
    }
}

} // namespace tls
