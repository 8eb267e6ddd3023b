// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The messages of the sFlow setup, as the user sees them.

namespace ortolan {

inline constexpr const char* kMsgRequestNotSent = "リクエストを送信できません。";
inline constexpr const char* kMsgNoSflowInfo = "sFlow情報が取得できません。";
inline constexpr const char* kMsgSetRequestNotSent = "設定リクエストを送信できません。";
inline constexpr const char* kMsgSetFailed =
    "sFlowの設定ができません。\nQuilletの場合は、SNMPによる設定はできません。\nWEB画面から設定して下さい。";
inline constexpr const char* kMsgBadPeriod = "期間の設定が正しくありません。";
// The entry dialogs' check of their number fields.
inline constexpr const char* kMsgEnterInteger = "整数を入力してください。";

}  // namespace ortolan
