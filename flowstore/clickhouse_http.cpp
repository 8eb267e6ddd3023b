// SPDX-License-Identifier: GPL-3.0-or-later
#include "clickhouse_http.h"

#include <curl/curl.h>

#include <mutex>

namespace ortolan {
namespace {

// curl_global_init is not thread-safe in older libcurl: done once.
void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

CClickHouseHttp::CClickHouseHttp(std::string url, std::string user, std::string password,
                                 const tagStoreLimits& limits)
    : m_url(std::move(url)), m_user(std::move(user)), m_password(std::move(password)), m_limits(limits)
{
    InitCurlOnce();
    m_curl = curl_easy_init();
}

CClickHouseHttp::~CClickHouseHttp()
{
    if (m_curl) curl_easy_cleanup(static_cast<CURL*>(m_curl));
}

tagHttpAnswer::Kind CClickHouseHttp::KindOf(long status)
{
    if (status == 200) return tagHttpAnswer::Kind::Ok;
    if (status == 400 || status == 401 || status == 403 || status == 404) return tagHttpAnswer::Kind::Refused;
    return tagHttpAnswer::Kind::Failed;
}

size_t CClickHouseHttp::OnBody(char* data, size_t size, size_t count, void* self)
{
    auto* http = static_cast<CClickHouseHttp*>(self);
    const size_t n = size * count;
    // Only the start of an answer is kept: enough for an error's text.
    if (http->m_answer.size() < http->m_answerLimit)
        http->m_answer.append(data, std::min<size_t>(n, http->m_answerLimit - http->m_answer.size()));
    return n;
}

int CClickHouseHttp::OnProgress(void* self, int64_t, int64_t, int64_t, int64_t)
{
    auto* http = static_cast<CClickHouseHttp*>(self);
    return http->m_abort && http->m_abort->load() ? 1 : 0;
}

tagHttpAnswer CClickHouseHttp::Send(std::string_view query, std::span<const uint8_t> body, bool wholeAnswer)
{
    tagHttpAnswer answer;
    auto* curl = static_cast<CURL*>(m_curl);
    if (!curl) {
        answer.text = "libcurl could not be started";
        return answer;
    }
    std::string url = m_url;
    if (!query.empty()) {
        char* escaped = curl_easy_escape(curl, query.data(), int(query.size()));
        url += m_url.find('?') == std::string::npos ? "?query=" : "&query=";
        url += escaped ? escaped : "";
        curl_free(escaped);
    }
    m_answer.clear();
    m_answerLimit = wholeAnswer ? m_limits.maxAnswerText : m_limits.maxErrorText;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, reinterpret_cast<const char*>(body.data()));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(m_limits.connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(m_limits.requestTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_MAXAGE_CONN, long(m_limits.maxIdleConnection.count()));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CClickHouseHttp::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CClickHouseHttp::OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    // No "Expect: 100-continue": ClickHouse answers at once, and the wait for
    // it would add a second to every large batch.
    struct curl_slist* headers = curl_slist_append(nullptr, "Expect:");
    headers = curl_slist_append(headers, "Content-Type: application/octet-stream");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (!m_user.empty()) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.c_str());
    }
    CURLcode code = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    if (code != CURLE_OK) {
        answer.text = curl_easy_strerror(code);
        return answer;
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    answer.kind = KindOf(answer.status);
    answer.text = std::move(m_answer);
    while (!answer.text.empty() && (answer.text.back() == '\n' || answer.text.back() == '\r')) answer.text.pop_back();
    return answer;
}

tagHttpAnswer CClickHouseHttp::Query(std::string_view query)
{
    return Send({}, std::span(reinterpret_cast<const uint8_t*>(query.data()), query.size()), true);
}

}  // namespace ortolan
