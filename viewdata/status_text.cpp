// SPDX-License-Identifier: GPL-3.0-or-later
#include "status_text.h"

#include <cstdio>

#include "local_time.h"

namespace ortolan {
namespace {

// The status panel counts datagrams in 32 bits: a count wraps after
// 4294967295, so its line keeps the width the panel is laid out for.
unsigned Low32(uint64_t v) { return unsigned(v & 0xFFFFFFFFu); }

}  // namespace

std::string FormatSpan(int64_t seconds)
{
    if (seconds < 0) seconds = 0;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%lld日 %02d時間%02d分%02d秒間", static_cast<long long>(seconds / 86400),
                  int(seconds / 3600 % 24), int(seconds / 60 % 60), int(seconds % 60));
    return buf;
}

std::string FormatStatusMarkup(const tagStatusInputs& in)
{
    std::string out;
    char buf[512];
    bool dataPresent = in.monitoring || in.sflow.agents != 0 || in.netflow.agents != 0;
    if (dataPresent) {
        std::snprintf(buf, sizeof buf,
                      "<font size=9pt color=#00ff00>sFlow:   %uノード(%uポート)  %uパケット</font><br>",
                      unsigned(in.sflow.agents), unsigned(in.sflow.interfaces), Low32(in.sflow.datagrams));
        out += buf;
        std::snprintf(buf, sizeof buf,
                      "<font size=9pt color=#00ff00>NetFlow: %uノード（%uポート） %uパケット</font><br>",
                      unsigned(in.netflow.agents), unsigned(in.netflow.interfaces),
                      Low32(in.netflow.datagrams));
        out += buf;
        // Offline, the datagrams came within the shown span (a replayed log's
        // first to last datagram), not up to now.
        int64_t span = (in.monitoring ? in.now : in.shownTo) - in.shownFrom;
        double rate = span > 0 ? double(in.sflow.datagrams + in.netflow.datagrams) / double(span) : 0.0;
        std::snprintf(buf, sizeof buf, "<font size=9pt color=%s>受信速度: %3.3fパケット/秒</font>",
                      rate > 100 ? "#ffff00" : "#00ff00", rate);
        out += buf;
    } else {
        out += "<font size=9pt color=#ff0000>モニタしていません。</font>";
    }
    if (in.monitoring) {
        std::snprintf(buf, sizeof buf, "<br><font  size=9pt color=#ffffff>%sから%sモニタしています。</font>",
                      FormatLocalTime("%m/%d %H:%M", in.shownFrom).c_str(),
                      FormatSpan(in.now - in.shownFrom).c_str());
        out += buf;
    } else if (dataPresent) {
        std::snprintf(buf, sizeof buf,
                      "<br><font  size=9pt color=#ffffff>%sから%sのオフライン情報を表示しています。</font>",
                      FormatLocalTime("%m/%d %H:%M", in.shownFrom).c_str(),
                      FormatLocalTime("%m/%d %H:%M", in.shownTo).c_str());
        out += buf;
    }
    if (in.pendingLookups > 0) {
        std::snprintf(buf, sizeof buf, "<br><font  size=9pt color=#00ff00>%d件のDNS問い合わせを行っています。</font>",
                      in.pendingLookups);
        out += buf;
    }
    if (in.warning) {
        std::snprintf(buf, sizeof buf,
                      "<br><font  size=9pt color=#ff8000>警告: 受信損失%llu件 ログ未書込%llu件 ログ損失%llu件 "
                      "拒否%llu件</font>",
                      static_cast<unsigned long long>(in.loss.receiveLost),
                      static_cast<unsigned long long>(in.loss.logWaiting),
                      static_cast<unsigned long long>(in.loss.logLost),
                      static_cast<unsigned long long>(in.loss.refused));
        out += buf;
    }
    if (in.clockStep != 0) {
        std::snprintf(buf, sizeof buf,
                      "<br><font  size=9pt color=#ff8000>警告: 時計が%+lld秒飛びました。ログの削除を止めています。</font>",
                      static_cast<long long>(in.clockStep));
        out += buf;
    }
    if (in.shortReceiveBuffer > 0) {
        std::snprintf(buf, sizeof buf,
                      "<br><font  size=9pt color=#ff8000>警告: 受信バッファが%dKiBしかありません（%dKiB要求）。"
                      "net.core.rmem_maxを上げてください。</font>",
                      in.shortReceiveBuffer / 1024, in.askedReceiveBuffer / 1024);
        out += buf;
    }
    return out;
}

std::string StatusPlainText(const std::string& markup)
{
    std::string out;
    out.reserve(markup.size());
    size_t i = 0;
    while (i < markup.size()) {
        if (markup[i] != '<') {
            out += markup[i++];
            continue;
        }
        size_t close = markup.find('>', i);
        if (close == std::string::npos) {
            out.append(markup, i, std::string::npos);
            break;
        }
        std::string_view tag(markup.data() + i + 1, close - i - 1);
        if (tag == "br" || tag == "BR" || tag == "br/" || tag == "br /") out += '\n';
        i = close + 1;
    }
    return out;
}

}  // namespace ortolan
