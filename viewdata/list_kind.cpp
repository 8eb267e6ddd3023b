// SPDX-License-Identifier: GPL-3.0-or-later
#include "list_kind.h"

namespace ortolan {
namespace {

constexpr tagListKindInfo kKinds[kListKindCount] = {
    {"MACアドレス一覧", "送信数トップ ５ノード", "MACアドレス一覧"},
    {"IPアドレス一覧", "送信数トップ５ IPノード", "IPアドレス一覧"},
    {"通信対一覧", "トップ５ MAC通信対", "MACマトリックス"},
    {"IP通信対一覧", "トップ５ IP通信対", "IPマトリックス"},
    {"Eth.プロトコル一覧", "トップ５ Eth.プロトコル", "Etherプロトコル一覧"},
    {"IPプロトコル一覧", "トップ５ IPプロトコル", "IPプロトコル一覧"},
    {"IPサービス区分一覧", "トップ５ IPサービス区分", "IPサービス区分別"},
    {"ICMPプロトコル一覧", "トップ５ ICMPプロトコル", "ICMPプロトコル一覧"},
    {"TCPプロトコル一覧", "トップ５ TCPプロトコル", "TCPプロトコル一覧"},
    {"UDPプロトコル一覧", "トップ５ UDPプロトコル", "UDPプロトコル一覧"},
    {"パケットサイズ別統計", "パケットサイズ別統計", "パケットサイズ別統計"},
    {"ポートリスト", "ポートリスト", "ポート一覧"},
    {"NICメーカ別集計", "NICメーカ別集計", "NICメーカ別集計"},
};

}  // namespace

bool IsListKind(int kind) { return kind >= 0 && kind < kListKindCount; }

const tagListKindInfo& ListKindInfo(int kind) { return kKinds[IsListKind(kind) ? kind : 0]; }

std::optional<int> ParseListKind(const std::string& text)
{
    if (text.empty() || text.size() > 2) return std::nullopt;
    int kind = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        kind = kind * 10 + (c - '0');
    }
    if (!IsListKind(kind)) return std::nullopt;
    return kind;
}

}  // namespace ortolan
