#include "onvif/StreamUriRepair.h"

#include <curl/curl.h>

#include <memory>

namespace onvif {

namespace {

struct UrlFree {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using Url = std::unique_ptr<CURLU, UrlFree>;

struct CurlText {
    char* text = nullptr;
    ~CurlText() { curl_free(text); }
};

Url ParseUrl(const std::string& uri)
{
    Url url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, uri.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return nullptr;
    return url;
}

std::string Part(CURLU* url, CURLUPart part)
{
    CurlText value;
    if (curl_url_get(url, part, &value.text, 0) != CURLUE_OK || value.text == nullptr)
        return {};
    return value.text;
}

std::string Text(CURLU* url, const std::string& fallback)
{
    CurlText value;
    if (curl_url_get(url, CURLUPART_URL, &value.text, 0) != CURLUE_OK || value.text == nullptr)
        return fallback;
    return value.text;
}

bool NamesItself(const std::string& host)
{
    return host == "0.0.0.0" || host == "localhost" || host == "[::1]" || host == "[::]" ||
           host.rfind("127.", 0) == 0;
}

}  // namespace

std::string RepairStreamUri(const std::string& uri, const std::string& camera_address)
{
    Url url = ParseUrl(uri);
    if (!url)
        return uri;
    if (NamesItself(Part(url.get(), CURLUPART_HOST)))
        curl_url_set(url.get(), CURLUPART_HOST, camera_address.c_str(), 0);
    if (Part(url.get(), CURLUPART_SCHEME) == "rtsp" && Part(url.get(), CURLUPART_PORT) == "80")
        curl_url_set(url.get(), CURLUPART_PORT, "554", 0);
    return Text(url.get(), uri);
}

std::string UriWithoutCredentials(const std::string& uri)
{
    // What URL cannot read may still hold a password: nothing of it is shown.
    Url url = ParseUrl(uri);
    if (!url)
        return {};
    curl_url_set(url.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(url.get(), CURLUPART_PASSWORD, nullptr, 0);
    return Text(url.get(), {});
}

bool UriHasCredentials(const std::string& uri)
{
    Url url = ParseUrl(uri);
    return url && !Part(url.get(), CURLUPART_USER).empty();
}

std::string UriWithCredentials(const std::string& uri, const std::string& user, const std::string& password)
{
    Url url = ParseUrl(uri);
    if (!url || user.empty())
        return uri;
    curl_url_set(url.get(), CURLUPART_USER, user.c_str(), CURLU_URLENCODE);
    curl_url_set(url.get(), CURLUPART_PASSWORD, password.c_str(), CURLU_URLENCODE);
    return Text(url.get(), uri);
}

}  // namespace onvif
