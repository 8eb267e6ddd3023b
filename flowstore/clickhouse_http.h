// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One connection to ClickHouse's HTTP interface through libcurl: a query in
// the URL, its data (rows, or the query text itself) as the POST body. The
// connection is kept alive between requests, but not past the idle time a
// server would close it at; a kept-alive connection the server has closed
// before answering is opened again by libcurl and the request sent anew,
// which is no failure. Every request is bounded in time, and an abort hook
// ends one early (a stop).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "store_limits.h"

namespace ortolan {

struct tagHttpAnswer {
    enum class Kind {
        Ok,        // 200: done
        Refused,   // 400, 401, 403, 404: the query, the table or the login is wrong
        Failed,    // no answer (down, timed out, cut off) or any other status
    };
    Kind kind = Kind::Failed;
    long status = 0;   // 0 without an answer
    std::string text;  // the server's answer (its error text), or libcurl's error
};

class CClickHouseHttp {
public:
    // url: http:// or https://, the server's root (parameters such as
    // ?database=NAME kept); user and password go as HTTP basic authentication
    // when the user is not empty.
    CClickHouseHttp(std::string url, std::string user, std::string password, const tagStoreLimits& limits);
    ~CClickHouseHttp();
    CClickHouseHttp(const CClickHouseHttp&) = delete;
    CClickHouseHttp& operator=(const CClickHouseHttp&) = delete;

    // Runs the query with the body as its data.
    tagHttpAnswer Post(std::string_view query, std::span<const uint8_t> body) { return Send(query, body, false); }
    // Runs a query whose text is the body, its answer's text returned.
    tagHttpAnswer Query(std::string_view query);

    // While set, a request in flight ends at the next progress check (a few
    // times a second), counted as failed.
    void SetAbort(const std::atomic<bool>* abort) { m_abort = abort; }

    static tagHttpAnswer::Kind KindOf(long status);

private:
    // wholeAnswer: up to maxAnswerText bytes of the answer kept, else maxErrorText.
    tagHttpAnswer Send(std::string_view query, std::span<const uint8_t> body, bool wholeAnswer);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, int64_t, int64_t, int64_t, int64_t);

    void* m_curl = nullptr;
    std::string m_url;
    std::string m_user;
    std::string m_password;
    tagStoreLimits m_limits;
    std::string m_answer;
    uint32_t m_answerLimit = 0;
    const std::atomic<bool>* m_abort = nullptr;
};

}  // namespace ortolan
