#include "library/chart_message.h"

#include <cstdio>
#include <string>
#include <vector>

#include "text/format.h"

namespace {

constexpr char PARSE_FAILED[] = "\nBMSファイルの解析失敗 %s\n";
constexpr char CANNOT_WRITE[] = "\n出力ファイルに書き込めません %s\n";
constexpr char CONVERT_FAILED[] = "\nWAVへの変換失敗\n";
constexpr char WRITTEN[] = "\nWAVファイルへ書き込みました %s\n";
constexpr char WRITE_FAILED[] = "\nWAVファイルへの書き込みが失敗 %s\n";
constexpr char OUTSIDE_SONG[] = "\nプレビューの開始位置が曲の長さを超えています\n";
constexpr char SILENCED[] = "WAVが読めないので無音にしました %s (ノーツ数 %d)\n";
constexpr char REPAIRED[] = "%s %d 箇所";
constexpr char REPAIR_LINES[] = " (行 %s)";
constexpr char LONG_NOTE_END_REPAIRED[] = "ロングノートの終端を読み替えました";
constexpr char WAV_NAME_TRIMMED[] = "WAVファイル名の末尾の空白を取り除きました";
constexpr char OBJECT_PAIR_SKIPPED[] = "英数字でないオブジェクトを飛ばしました";
constexpr char ODD_OBJECT_IGNORED[] = "オブジェクト列の余った1文字を無視しました";
constexpr char BAR_LENGTH_TWICE[] = "小節長の二度目の指定を採りました";
constexpr char TEMPO_VALUE_SKIPPED[] = "使えないBPM変更を飛ばしました";
constexpr char STOP_VALUE_SKIPPED[] = "使えないストップを飛ばしました";
constexpr char OTHER_REPAIR[] = "譜面の記述を読み替えました";

constexpr char SOURCE_UNREADABLE[] = "\nフォルダを読めません %s\n";
constexpr char OUTPUT_TAKEN[] = "\n出力先が他の譜面と重なります %s\n";
constexpr char ARCHIVE_UNREADABLE[] = "\nアーカイブを読めません %s\n";
constexpr char ARCHIVE_TOO_LARGE[] = "\nアーカイブの中身が大きすぎます %s\n";
constexpr char ARCHIVE_NOT_UNPACKED[] = "\nアーカイブを展開できません %s\n";
constexpr char OWN_PREVIEW[] = "\nフォルダのプレビューがあるので作りません %s\n";
constexpr char ARCHIVE_WITHOUT_PREVIEW[] = "\nアーカイブにはプレビューを作りません %s\n";

// The lines naming the key sounds that played as silence, after a blank line; empty when none
// did.
std::string silencedLines(const std::vector<SilencedSound>& silenced) {
    if (silenced.empty()) return std::string();
    std::string lines = "\n";
    for (const SilencedSound& sound : silenced)
        lines += format(SILENCED, sound.path.c_str(), sound.notes);
    return lines;
}

// What a player mended of one kind, as the line that tells it begins.
const char* repairText(BmsRepairKind kind) {
    switch (kind) {
        case BmsRepairKind::LONG_NOTE_END:
            return LONG_NOTE_END_REPAIRED;
        case BmsRepairKind::WAV_NAME_TRIMMED:
            return WAV_NAME_TRIMMED;
        case BmsRepairKind::OBJECT_PAIR:
            return OBJECT_PAIR_SKIPPED;
        case BmsRepairKind::ODD_OBJECT:
            return ODD_OBJECT_IGNORED;
        case BmsRepairKind::BAR_LENGTH_TWICE:
            return BAR_LENGTH_TWICE;
        case BmsRepairKind::TEMPO_VALUE:
            return TEMPO_VALUE_SKIPPED;
        case BmsRepairKind::STOP_VALUE:
            return STOP_VALUE_SKIPPED;
        default:
            return OTHER_REPAIR;
    }
}

// One line per kind of what playing the chart as a player mended, after a blank line: the
// count and the first lines known, "..." where more happened than are listed; empty when
// nothing was mended.
std::string repairLines(const std::vector<BmsRepairs::Entry>& repairs) {
    if (repairs.empty()) return std::string();
    std::string lines = "\n";
    for (const BmsRepairs::Entry& entry : repairs) {
        lines += format(REPAIRED, repairText(entry.kind), entry.count);
        std::string numbers;
        for (int line : entry.lines) {
            if (line <= 0) continue;
            if (!numbers.empty()) numbers += ", ";
            numbers += std::to_string(line);
        }
        if (!numbers.empty()) {
            if (entry.count > static_cast<int>(entry.lines.size())) numbers += ", ...";
            lines += format(REPAIR_LINES, numbers.c_str());
        }
        lines += "\n";
    }
    return lines;
}

// The message that closes the run, after what was mended.
std::string closingMessage(const RenderResult& result, const std::string& shown,
                           const std::string& output) {
    switch (result.status) {
        case RenderStatus::WRITTEN:
            return silencedLines(result.silenced) + format(WRITTEN, output.c_str());
        case RenderStatus::STOPPED:
            return std::string();
        case RenderStatus::PARSE_FAILED:
            return format(PARSE_FAILED, shown.c_str()) + result.parseError + "\n";
        case RenderStatus::OUTPUT_UNWRITABLE:
            return format(CANNOT_WRITE, output.c_str());
        case RenderStatus::PREVIEW_OUTSIDE_SONG:
            return OUTSIDE_SONG;
        case RenderStatus::WRITE_FAILED:
            return silencedLines(result.silenced) + format(WRITE_FAILED, output.c_str());
        default:
            return CONVERT_FAILED;
    }
}

}  // namespace

std::string chartMessage(const RenderResult& result, const std::string& shown,
                         const std::string& output) {
    if (result.status == RenderStatus::STOPPED) return std::string();
    return repairLines(result.repairs) + closingMessage(result, shown, output);
}

std::string faultMessage(LibraryFault fault, const std::string& path) {
    switch (fault) {
        case LibraryFault::FOLDER_UNREADABLE:
            return format(SOURCE_UNREADABLE, path.c_str());
        case LibraryFault::OUTPUT_TAKEN:
            return format(OUTPUT_TAKEN, path.c_str());
        case LibraryFault::ARCHIVE_UNREADABLE:
            return format(ARCHIVE_UNREADABLE, path.c_str());
        case LibraryFault::ARCHIVE_TOO_LARGE:
            return format(ARCHIVE_TOO_LARGE, path.c_str());
        case LibraryFault::ARCHIVE_NOT_UNPACKED:
            return format(ARCHIVE_NOT_UNPACKED, path.c_str());
        case LibraryFault::OWN_PREVIEW:
            return format(OWN_PREVIEW, path.c_str());
        case LibraryFault::ARCHIVE_WITHOUT_PREVIEW:
            return format(ARCHIVE_WITHOUT_PREVIEW, path.c_str());
        default:
            return std::string();
    }
}

std::string chartMessage(const LibraryChart& chart) {
    if (chart.fault != LibraryFault::NONE) return faultMessage(chart.fault, chart.faultPath);
    // A preview's messages name the chart it was rendered from, not its folder.
    const bool named = chart.shown.empty() || !chart.candidates.empty();
    return chartMessage(chart.render, named ? chart.path : chart.shown, chart.output);
}
