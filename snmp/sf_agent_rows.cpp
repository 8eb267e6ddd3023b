// SPDX-License-Identifier: GPL-3.0-or-later
#include "sf_agent_rows.h"

namespace ortolan {

const std::vector<std::string>& CollectorColumnHeaders()
{
    static const std::vector<std::string> headers = {
        "コレクタ番号", "オナー文字列", "収集期間（秒）", "パケットサイズ", "コレクターＩＰ", "ポート", "sFlowバージョン",
    };
    return headers;
}

const std::vector<std::string>& V5PortColumnHeaders()
{
    static const std::vector<std::string> headers = {
        "データソース", "インスタンス", "Flowコレクタ番号", "サンプルレート",
        "ヘッダサイズ", "Counterコレクタ番号", "カウンタ間隔", "Index",
    };
    return headers;
}

const std::vector<std::string>& V4PortColumnHeaders()
{
    static const std::vector<std::string> headers = {
        "データソース", "オナー文字列", "収集期間（秒）", "サンプルレート", "カウンタ間隔", "ヘッダサイズ",
        "パケットサイズ", "コレクターＩＰ", "ポート", "sFlowバージョン", "Index",
    };
    return headers;
}

std::vector<std::string> CellsOf(const tagSfV5RcvrRow& row)
{
    return {row.index, row.owner, row.timeout, row.datagramSize, row.address, row.port, row.datagramVersion};
}

std::vector<std::string> CellsOf(const tagSfV5PortRow& row)
{
    return {row.dataSource,      row.instance,        row.flowReceiver, row.samplingRate,
            row.headerSize,      row.counterReceiver, row.counterInterval, row.index};
}

std::vector<std::string> CellsOf(const tagSfV4PortRow& row)
{
    return {row.dataSource,   row.owner,           row.timeout,       row.samplingRate,
            row.counterInterval, row.headerSize,   row.datagramSize,  row.collectorAddress,
            row.collectorPort, row.datagramVersion, row.index};
}

std::string MibVersionText(int mibGeneration)
{
    if (mibGeneration <= 0) return {};
    return "Ver." + std::to_string(mibGeneration);
}

}  // namespace ortolan
