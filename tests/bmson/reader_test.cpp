#include "bmson/reader.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "bmson/timeline.h"
#include "tests/test_util.h"

namespace {

TEST(BmsonReaderTest, ReadsWhatTheSoundNeedsAndPassesOverTheRest) {
    const std::string text = R"({
        "version": "1.0.0", "extension": {"deep": [[1, {"y": "no"}]]},
        "info": {"title": "t", "init_bpm": 150.5, "resolution": -480, "level": 3},
        "lines": [{"y": 480}, {"y": 960, "k": 1}],
        "bpm_events": [{"y": 960, "bpm": 75}, {"bpm": 300, "y": 0}],
        "stop_events": null,
        "sound_channels": [
            {"name": "a\\b", "notes": [{"x": 2, "y": 7, "l": 30, "c": true}, {"y": 5, "x": null}]},
            {"notes": [], "name": "c.ogg"}],
        "bga": {"bga_header": [{"id": 1, "name": "/abs.png"}], "bga_events": []}})";
    test_util::TempDir dir;
    BmsonChart chart;
    std::string message = "left over";
    ASSERT_TRUE(BmsonLoad(dir.write("a.bmson", text).c_str(), &chart, &message)) << message;
    EXPECT_EQ("", message);
    EXPECT_EQ("1.0.0", chart.version);
    EXPECT_EQ(150.5, chart.initBpm);
    EXPECT_EQ(480u, chart.resolution);
    ASSERT_EQ(2u, chart.bpmEvents.size());
    EXPECT_EQ(960u, chart.bpmEvents[0].y);
    EXPECT_EQ(75.0, chart.bpmEvents[0].bpm);
    EXPECT_EQ(0u, chart.bpmEvents[1].y);
    EXPECT_EQ(300.0, chart.bpmEvents[1].bpm);
    EXPECT_TRUE(chart.stopEvents.empty());
    ASSERT_EQ(2u, chart.channels.size());
    EXPECT_EQ("a\\b", chart.channels[0].name);
    ASSERT_EQ(2u, chart.channels[0].notes.size());
    const BmsonNote& first = chart.channels[0].notes[0];
    EXPECT_EQ(2u, first.x);
    EXPECT_EQ(7u, first.y);
    EXPECT_EQ(30u, first.l);
    EXPECT_TRUE(first.c);
    const BmsonNote& second = chart.channels[0].notes[1];
    EXPECT_EQ(0u, second.x);
    EXPECT_EQ(5u, second.y);
    EXPECT_EQ(0u, second.l);
    EXPECT_FALSE(second.c);
    EXPECT_EQ("c.ogg", chart.channels[1].name);
    EXPECT_TRUE(chart.channels[1].notes.empty());
}

// An empty name is no fault of the chart: the loading finds no file for it.
TEST(BmsonReaderTest, KeepsAnEmptyName) {
    BmsonChart chart;
    std::string message;
    ASSERT_TRUE(BmsonRead(R"({"version":"1.0.0","info":{"init_bpm":120},)"
                          R"("sound_channels":[{"name":"","notes":[]}]})",
                          &chart, &message))
        << message;
    ASSERT_EQ(1u, chart.channels.size());
    EXPECT_EQ("", chart.channels[0].name);
}

TEST(BmsonReaderTest, NamesTheFaultAndWhereItIs) {
    // A chart at 120 BPM and 240 pulses per beat around one note's fields.
    const auto note = [](const std::string& fields) {
        return R"({"version":"1.0.0","info":{"init_bpm":120},"sound_channels":[{"name":"a","notes":[{"y":0},{)" +
               fields + "}]}]}";
    };
    const std::string head = R"({"version":"1.0.0","info":{"init_bpm":120},)";
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"", "JSON の書式が正しくありません（1 バイト目）。"},
        {R"({"version":"1.0.0",])", "JSON の書式が正しくありません（20 バイト目）。"},
        {R"({"a":1e400})", "数値が大きすぎます（10 バイト目）。"},
        {"[]", "$ にはオブジェクトを指定してください。"},
        {R"({"version":null,"info":{"init_bpm":120},"sound_channels":[]})",
         "$.version がありません。"},
        {R"({"version":1,"info":{"init_bpm":120},"sound_channels":[]})",
         "$.version には文字列を指定してください。"},
        {R"({"version":"1.0.0","info":[],"sound_channels":[]})",
         "$.info にはオブジェクトを指定してください。"},
        {R"({"version":"1.0.0","info":{},"sound_channels":[]})", "$.info.init_bpm がありません。"},
        {R"({"version":"1.0.0","info":{"init_bpm":"120"},"sound_channels":[]})",
         "$.info.init_bpm には数値を指定してください。"},
        {R"({"version":"1.0.0","info":{"init_bpm":0},"sound_channels":[]})",
         "$.info.init_bpm のテンポが正しくありません。"},
        {R"({"version":"1.0.0","info":{"init_bpm":1e-320},"sound_channels":[]})",
         "$.info.init_bpm のテンポが正しくありません。"},
        {R"({"version":"1.0.0","info":{"init_bpm":120,"resolution":2.5},"sound_channels":[]})",
         "$.info.resolution には整数を指定してください。"},
        {R"({"version":"1.0.0","info":{"init_bpm":120,"init_bpm":130},"sound_channels":[]})",
         "$.info.init_bpm が2回指定されました。"},
        {head + R"("bpm_events":[{"y":0,"bpm":90},{"y":5,"bpm":-1}],"sound_channels":[]})",
         "$.bpm_events[1].bpm のテンポが正しくありません。"},
        {head + R"("stop_events":[{"duration":5}],"sound_channels":[]})",
         "$.stop_events[0].y がありません。"},
        {head + R"("lines":[{"y":-1}],"sound_channels":[]})",
         "$.lines[0].y には0以上の整数を指定してください。"},
        {head + R"("sound_channels":{}})", "$.sound_channels には配列を指定してください。"},
        {head + R"("sound_channels":[1]})",
         "$.sound_channels[0] にはオブジェクトを指定してください。"},
        {head + R"("sound_channels":[{"name":"a"}]})", "$.sound_channels[0].notes がありません。"},
        {note(R"("y":-240)"), "$.sound_channels[0].notes[1].y には0以上の整数を指定してください。"},
        {note(R"("y":1.5)"), "$.sound_channels[0].notes[1].y には0以上の整数を指定してください。"},
        {note(R"("y":1,"c":"true")"),
         "$.sound_channels[0].notes[1].c には true か false を指定してください。"},
        {note(R"("y":5843493)"),
         "$.sound_channels[0].notes[1] の位置が出力できる長さ（536870912 フレーム）を超えます。"},
        {head + R"("sound_channels":[{"name":"/etc/passwd","notes":[]}]})",
         "$.sound_channels[0].name の音声ファイル名に絶対パスは使えません。"},
        {head + R"("sound_channels":[{"name":"..\\a.wav","notes":[]}]})",
         "$.sound_channels[0].name の音声ファイル名に「..」は使えません。"},
        {head + R"("sound_channels":[{"name":"a\u0000.wav","notes":[]}]})",
         "$.sound_channels[0].name の音声ファイル名に NUL 文字は使えません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        BmsonChart chart;
        std::string message;
        std::vector<BmsonPlay> plays;
        if (BmsonRead(c.text, &chart, &message)) {
            EXPECT_FALSE(BmsonTimeline(chart, &plays, &message));
        }
        EXPECT_EQ(c.message, message);
    }
}

}  // namespace
