#include "bms/bms.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(BmsBarTest, ReadsDecimalText) {
    const struct {
        const char* text;
        bool fits;
        int tics;
    } cases[] = {
        {"0.75", true, 288},
        {"1.5", true, 576},
        {"0.001", true, 0},
        {".", true, 0},
        {"", true, 0},
        {"1", true, 384},
        {"2.", true, 768},
        {".5", true, 192},
        {"0.75abc", true, 288},
        {"1.2.3", true, 460},
        {"5592405", true, 2147483520},
        {"5592405.33", true, 2147483646},
        {"5592405.34", false, 0},
        {"5592406", false, 0},
        {"99999999999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int tics = -1;
        EXPECT_EQ(c.fits, BmsBar::ticsFromText(c.text, &tics));
        EXPECT_EQ(c.fits ? c.tics : -1, tics);
        EXPECT_EQ(c.tics, BmsBar(c.text).getLength());
    }
}

TEST(BmsBmsTest, BarsAndTheirStarts) {
    BmsBms chart;
    EXPECT_EQ(384, chart.getBar(999).getLength());
    EXPECT_EQ(0, chart.getBar(1000).getLength());
    EXPECT_EQ(0, chart.getBar(-1).getLength());
    EXPECT_EQ(384, chart.setBar(1, BmsBar("0.75")).getLength());
    EXPECT_EQ(0, chart.setBar(1000, BmsBar(5)).getLength());
    EXPECT_EQ(0, chart.getBarStart(0));
    EXPECT_EQ(0, chart.getBarStart(-2));
    EXPECT_EQ(384, chart.getBarStart(1));
    EXPECT_EQ(384 + 288, chart.getBarStart(2));
    // 999 bars of 384 and one of 288.
    EXPECT_EQ(383616 + 288, chart.getBarStart(1000));
    EXPECT_EQ(383616 + 288, chart.getBarStart(5000));
    chart.setBar(0, BmsBar(2147483647));
    EXPECT_EQ(2147483647, chart.getBarStart(2));
}

TEST(BmsBmsTest, KeepsChannelsInOrderOfId) {
    BmsBms chart;
    EXPECT_EQ(nullptr, chart.insertChannel(new BmsChannel(BmsWord("11"))));
    EXPECT_EQ(nullptr, chart.insertChannel(new BmsChannel(BmsWord("01"))));
    EXPECT_EQ(nullptr, chart.insertChannel(new BmsChannel(BmsWord("16"))));
    EXPECT_EQ(nullptr, chart.insertChannel(nullptr));
    EXPECT_EQ(3, chart.getChannelCount());
    std::string order;
    for (BmsChannel* c = chart.getFirstChannel(); c; c = c->getNext())
        order += std::string(1, c->getId().getFirst()) + c->getId().getSecond() + " ";
    EXPECT_EQ("01 11 16 ", order);

    BmsChannel* replacement = new BmsChannel(BmsWord("11"));
    BmsChannel* old = chart.findChannel(BmsWord("11"));
    EXPECT_EQ(old, chart.insertChannel(replacement));
    EXPECT_EQ(nullptr, old->getNext());
    delete old;
    EXPECT_EQ(3, chart.getChannelCount());
    EXPECT_EQ(replacement, chart.findChannel(BmsWord("11")));
    EXPECT_EQ(chart.findChannel(BmsWord("16")), replacement->getNext());
    EXPECT_EQ(3, chart.clearChannels());
    EXPECT_EQ(nullptr, chart.getFirstChannel());
    EXPECT_EQ(0, chart.getChannelCount());
}

TEST(BmsBmsTest, PutObjectsSpreadsAndMerges) {
    BmsBms chart;
    chart.setBar(1, BmsBar("0.75"));
    EXPECT_EQ(8u, chart.putObjects(0, BmsWord("11"), "01020304"));
    EXPECT_EQ(6u, chart.putObjects(1, BmsWord("11"), "050607"));
    // Eight pairs over 384 tics, one every 48; the "00" pairs leave 0 and 96 alone.
    EXPECT_EQ(16u, chart.putObjects(0, BmsWord("11"), "0008000900000000"));
    const BmsChannel* lane = chart.findChannel(BmsWord("11"));
    ASSERT_NE(nullptr, lane);
    const struct {
        int tic;
        const char* word;
    } expected[] = {{0, "01"},   {48, "08"},  {96, "02"},  {144, "09"}, {192, "03"},
                    {288, "04"}, {384, "05"}, {480, "06"}, {576, "07"}, {672, "00"}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.tic);
        EXPECT_EQ(BmsWord(e.word), lane->get(e.tic));
    }
    EXPECT_EQ(576, chart.getLastPosition());
    EXPECT_EQ(1, chart.getChannelCount());
}

TEST(BmsBmsTest, PutObjectsDropsMalformedLines) {
    BmsBms chart;
    std::string overFull;
    for (int i = 0; i < 385; ++i) overFull += "01";
    const char* refused[] = {"", "010", overFull.c_str()};
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        EXPECT_EQ(0u, chart.putObjects(0, BmsWord("11"), text));
    }
    EXPECT_EQ(0u, chart.putObjects(1000, BmsWord("11"), "01"));
    EXPECT_EQ(0u, chart.putObjects(0, BmsWord("11"), nullptr));
    EXPECT_EQ(nullptr, chart.getFirstChannel());
    EXPECT_EQ(0, chart.getLastPosition());
}

TEST(BmsBmsTest, SpreadWritesEveryPairWithCollisions) {
    BmsBms chart;
    BmsChannel lane(BmsWord("01"));
    lane.put(200, BmsWord("ZZ"));
    // 385 distinct pairs in 384 tics: step 384/385, so pair 1 lands on tic 0
    // (0.997...) over pair 0, and pair 384 at 383.002... ends at tic 383.
    std::string text;
    for (int i = 1; i <= 385; ++i) text += std::string(1, BmsDigitChar(i / 36)) + BmsDigitChar(i);
    EXPECT_EQ(770u, chart.spreadObjects(0, &lane, text.data(), text.size(), false));
    EXPECT_EQ(BmsWord(2), lane.get(0));
    EXPECT_EQ(BmsWord(385), lane.get(383));
    EXPECT_EQ(BmsWord("00"), lane.get(384));
    EXPECT_NE(BmsWord("ZZ"), lane.get(200));

    // "00" pairs are written too: a second spread over bar 0 clears tic 0.
    EXPECT_EQ(4u, chart.spreadObjects(0, &lane, "0001", 4, false));
    EXPECT_EQ(BmsWord("00"), lane.get(0));
    EXPECT_EQ(BmsWord("01"), lane.get(192));

    // A bar of length 0 receives nothing.
    chart.setBar(2, BmsBar(0));
    BmsChannel empty(BmsWord("01"));
    EXPECT_EQ(0u, chart.spreadObjects(2, &empty, "01", 2, false));
    EXPECT_EQ(0, empty.getUsedSize());
}

TEST(BmsBmsTest, LastPositionCoversEveryLane) {
    BmsBms chart;
    EXPECT_EQ(0, chart.getLastPosition());
    BmsChannel* first = new BmsChannel(BmsWord("01"));
    chart.insertChannel(first);
    BmsChannel* second = new BmsChannel(BmsWord("01"));
    first->setNextLane(second);
    first->put(10, BmsWord("01"));
    second->put(5000, BmsWord("02"));
    chart.putObjects(2, BmsWord("03"), "FF");
    EXPECT_EQ(5000, chart.getLastPosition());
    second->remove(5000);
    EXPECT_EQ(768, chart.getLastPosition());
}

}  // namespace
