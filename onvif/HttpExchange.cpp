#include "onvif/HttpExchange.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace onvif {

namespace {

struct EasyFree {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Transfer {
    std::string body;
    size_t max_bytes = 0;
    bool too_large = false;
    const std::atomic<bool>* cancel = nullptr;
};

size_t Collect(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t length = size * count;
    if (transfer->body.size() + length > transfer->max_bytes) {
        transfer->too_large = true;
        return 0;  // libcurl ends the transfer with a write error
    }
    transfer->body.append(data, length);
    return length;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* transfer = static_cast<const Transfer*>(user);
    return transfer->cancel != nullptr && transfer->cancel->load() ? 1 : 0;
}

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

Failure FailureOf(CURLcode code, CURL* curl, const Transfer& transfer)
{
    if (transfer.too_large)
        return Failure::TooLarge;
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
        return Failure::NoService;
    case CURLE_OPERATION_TIMEDOUT: {
        // A camera that never took the connection has no service; one that
        // took it and then kept quiet is too slow.
        curl_off_t connected_us = 0;
        curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connected_us);
        return connected_us > 0 ? Failure::Timeout : Failure::NoService;
    }
    case CURLE_ABORTED_BY_CALLBACK:
        return Failure::Timeout;
    default:
        return Failure::BadAnswer;
    }
}

HttpResult Perform(const std::string& url, curl_slist* headers, const std::string* post_body,
                   const Credentials& login, const HttpLimits& limits)
{
    GlobalInit();
    HttpResult result;
    std::unique_ptr<CURL, EasyFree> curl(curl_easy_init());
    if (!curl) {
        result.failure = Failure::BadAnswer;
        result.detail = "libcurl could not start";
        return result;
    }
    Transfer transfer;
    transfer.max_bytes = limits.max_bytes;
    transfer.cancel = limits.cancel;
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, limits.connect_ms);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, limits.total_ms);
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.max_bytes));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    if (headers != nullptr)
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    if (post_body != nullptr) {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, post_body->c_str());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post_body->size()));
    }
    if (!login.empty()) {
        // Asked first without a login: the camera's challenge picks digest or basic.
        curl_easy_setopt(handle, CURLOPT_HTTPAUTH, CURLAUTH_DIGEST | CURLAUTH_BASIC);
        curl_easy_setopt(handle, CURLOPT_USERNAME, login.user.c_str());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, login.password.c_str());
    }
    const CURLcode code = curl_easy_perform(handle);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.status);
    char* content_type = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &content_type) == CURLE_OK && content_type != nullptr)
        result.content_type = content_type;
    if (code != CURLE_OK) {
        result.failure = FailureOf(code, handle, transfer);
        result.detail = transfer.too_large ? "the answer is larger than " + std::to_string(limits.max_bytes) + " bytes"
                                           : curl_easy_strerror(code);
        return result;
    }
    result.body = std::move(transfer.body);
    return result;
}

}  // namespace

HttpResult HttpExchange::post(const std::string& url, const std::string& soap_action, const std::string& body,
                              const Credentials& login, const HttpLimits& limits)
{
    const std::string content_type =
        "Content-Type: application/soap+xml; charset=utf-8; action=\"" + soap_action + "\"";
    curl_slist* list = curl_slist_append(nullptr, content_type.c_str());
    // A failed append leaves the list as it was.
    if (curl_slist* longer = list != nullptr ? curl_slist_append(list, "Expect:") : nullptr)
        list = longer;
    std::unique_ptr<curl_slist, ListFree> headers(list);
    return Perform(url, headers.get(), &body, login, limits);
}

HttpResult HttpExchange::get(const std::string& url, const Credentials& login, const HttpLimits& limits)
{
    return Perform(url, nullptr, nullptr, login, limits);
}

}  // namespace onvif
