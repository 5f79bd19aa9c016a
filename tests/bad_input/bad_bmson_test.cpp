// Hostile bmson charts: deep nesting, numbers at and beyond their limits, huge arrays, absurd
// resolutions and stops, bytes that are no JSON, and NUL bytes where names are passed over.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "bmson/reader.h"
#include "bmson/timeline.h"
#include "tests/test_util.h"

namespace {

std::string repeat(const std::string& piece, size_t count) {
    std::string text;
    text.reserve(piece.size() * count);
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
}

// The message of reading the text and placing its plays; empty when both succeed.
std::string outcomeOf(const std::string& text, std::vector<BmsonPlay>* plays) {
    BmsonChart chart;
    std::string message;
    if (BmsonRead(text, &chart, &message)) BmsonTimeline(chart, plays, &message);
    return message;
}

TEST(BadBmsonTest, RefusesOrBoundsWhatCannotBeHeld) {
    const std::string head = R"({"version":"1.0.0","info":{"init_bpm":120},)";
    const auto notes = [&head](const std::string& notes, const std::string& top = "") {
        return head + top + R"("sound_channels":[{"name":"a","notes":[)" + notes + "]}]}";
    };
    const std::string tooLate = " の位置が出力できる長さ（536870912 フレーム）を超えます。";
    const struct {
        const char* name;
        std::string text;
        std::string message;
    } cases[] = {
        {"arrays nested 100000 deep", R"({"x":)" + repeat("[", 100000),
         "$.x" + repeat("[0]", 63) + " の入れ子が深すぎます（64 段まで）。"},
        {"objects nested 100000 deep", repeat(R"({"a":)", 100000),
         "$" + repeat(".a", 64) + " の入れ子が深すぎます（64 段まで）。"},
        {"a number beyond a double", notes(R"({"y":1e400})"),
         "数値が大きすぎます（92 バイト目）。"},
        {"a pulse beyond 64 bits", notes(R"({"y":18446744073709551616})"),
         "$.sound_channels[0].notes[0].y には0以上の整数を指定してください。"},
        {"the last pulse at one pulse per quarter", notes(R"({"y":18446744073709551615})"),
         "$.sound_channels[0].notes[0]" + tooLate},
        {"a resolution beyond 64 bits",
         R"({"version":"1.0.0","info":{"init_bpm":120,"resolution":1e30},"sound_channels":[]})",
         "$.info.resolution には整数を指定してください。"},
        {"stops of 2^64 pulses before a note",
         notes(R"({"y":1})", R"("stop_events":[)" +
                                 repeat(R"({"y":0,"duration":18446744073709551615},)", 999) +
                                 R"({"y":0,"duration":18446744073709551615}],)"),
         "$.sound_channels[0].notes[0]" + tooLate},
        {"a stop of 2^64 pulses after the last note",
         notes(R"({"y":1})", R"("stop_events":[{"y":1,"duration":18446744073709551615}],)"), ""},
        {"the slowest tempo",
         notes(R"({"y":0},{"y":1})", R"("bpm_events":[{"y":0,"bpm":5e-324}],)"),
         "$.bpm_events[0].bpm のテンポが正しくありません。"},
        {"the fastest tempo", notes(R"({"y":1})", R"("bpm_events":[{"y":0,"bpm":1.7e308}],)"), ""},
        {"more notes than the reader keeps", notes(repeat(R"({"y":0},)", 1 << 20) + R"({"y":0})"),
         "$.sound_channels[0].notes の要素が多すぎます（全体で 1048576 個まで）。"},
        {"a raw NUL in a string", std::string("{\"version\":\"\0\"}", 15),
         "JSON の書式が正しくありません（13 バイト目）。"},
        {"invalid UTF-8", "{\"version\":\"\xff\"}",
         "JSON の書式が正しくありません（13 バイト目）。"},
        {"a byte order mark", "\xef\xbb\xbf" + notes(R"({"y":0})"), ""},
        {"a NUL in an unknown key", std::string("{\"\\u0000\":1,") + notes(R"({"y":0})").substr(1),
         ""},
        {"a NUL in a picture name",
         notes(R"({"y":0})", R"("bga":{"bga_header":[{"name":"\u0000"}]},)"), ""},
        {"text after the chart", notes(R"({"y":0})") + "{}",
         "JSON の書式が正しくありません（" + std::to_string(notes(R"({"y":0})").size() + 1) +
             " バイト目）。"},
        {"a file over 64 MiB", std::string((64 << 20) + 1, ' '),
         "ファイルが大きすぎます（67108864 バイトまで）。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<BmsonPlay> plays;
        const std::string message = outcomeOf(c.text, &plays);
        EXPECT_EQ(c.message, message);
    }
}

TEST(BadBmsonTest, HugeResolutionsKeepTheirBeats) {
    // One beat at 120 BPM is 22050 frames, whatever the pulses per beat.
    for (const char* resolution : {"18446744073709551615", "-9223372036854775808", "1"}) {
        SCOPED_TRACE(resolution);
        const std::string beat = resolution[0] == '-' ? "9223372036854775808" : resolution;
        std::vector<BmsonPlay> plays;
        EXPECT_EQ(
            "", outcomeOf(R"({"version":"1.0.0","info":{"init_bpm":120,"resolution":)" +
                              std::string(resolution) +
                              R"(},"sound_channels":[{"name":"a","notes":[{"y":)" + beat + "}]}]}",
                          &plays));
        ASSERT_EQ(1u, plays.size());
        EXPECT_NEAR(22050, plays[0].frame, 1);
    }
}

TEST(BadBmsonTest, FoldersAndMissingFilesDoNotOpen) {
    test_util::TempDir dir;
    for (const std::string& path : {dir.path(), dir.file("missing.bmson")}) {
        BmsonChart chart;
        std::string message;
        EXPECT_FALSE(BmsonLoad(path.c_str(), &chart, &message));
        EXPECT_EQ("ファイルが開けませんでした。", message);
    }
}

}  // namespace
