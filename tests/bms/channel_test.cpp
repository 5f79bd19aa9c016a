#include "bms/channel.h"

#include <gtest/gtest.h>
#include <map>

namespace {

TEST(BmsChannelTest, GrowsInStepsOfTenBars) {
    BmsChannel lane(BmsWord("11"));
    EXPECT_EQ(3840, lane.getSize());
    EXPECT_EQ(BmsWord("00"), lane.put(3839, BmsWord("01")));
    EXPECT_EQ(3840, lane.getSize());
    lane.put(3840, BmsWord("02"));
    EXPECT_EQ(7680, lane.getSize());
    lane.put(10000, BmsWord("03"));
    EXPECT_EQ(11520, lane.getSize());
    // Growing keeps what was there.
    EXPECT_EQ(BmsWord("01"), lane.get(3839));
    EXPECT_EQ(BmsWord("02"), lane.get(3840));
    EXPECT_EQ(BmsWord("00"), lane.get(9999));
    EXPECT_EQ(11520, lane.extend(5));
}

TEST(BmsChannelTest, OutOfRangeIsNeutral) {
    BmsBuffer buffer(10);
    EXPECT_EQ(BmsWord("00"), buffer.set(10, BmsWord("0A")));
    EXPECT_EQ(BmsWord("00"), buffer.set(-1, BmsWord("0A")));
    EXPECT_EQ(10, buffer.getSize());
    EXPECT_EQ(BmsWord("00"), buffer.get(-1));
    EXPECT_EQ(BmsWord("00"), buffer.get(10));
    EXPECT_FALSE(buffer.remove(10));
    EXPECT_FALSE(buffer.remove(-3));
    EXPECT_EQ(BmsWord("00"), buffer.put(-1, BmsWord("0A")));
    EXPECT_EQ(10, buffer.getSize());
    EXPECT_EQ(0, BmsBuffer(-4).getSize());
}

TEST(BmsChannelTest, SetsRemovesAndClears) {
    BmsBuffer buffer(100);
    EXPECT_EQ(BmsWord("00"), buffer.set(7, BmsWord("AA")));
    EXPECT_EQ(BmsWord("AA"), buffer.set(7, BmsWord("BB")));
    buffer.set(8, BmsWord("CC"));
    buffer.set(99, BmsWord("CC"));
    EXPECT_TRUE(buffer.contains(BmsWord("CC")));
    EXPECT_FALSE(buffer.contains(BmsWord("AA")));
    EXPECT_TRUE(buffer.remove(8));
    EXPECT_FALSE(buffer.remove(8));
    EXPECT_EQ(2, buffer.clear());
    EXPECT_FALSE(buffer.contains(BmsWord("BB")));
    EXPECT_TRUE(buffer.contains(BmsWord("00")));
}

TEST(BmsChannelTest, TracksTheEndOfItsObjects) {
    BmsBuffer buffer(3840);
    EXPECT_EQ(0, buffer.getUsedSize());
    buffer.set(5, BmsWord("01"));
    EXPECT_EQ(6, buffer.getUsedSize());
    buffer.put(100, BmsWord("02"));
    EXPECT_EQ(101, buffer.getUsedSize());
    buffer.remove(100);
    EXPECT_EQ(6, buffer.getUsedSize());
    buffer.set(50, BmsWord("03"));
    buffer.set(50, BmsWord("00"));
    EXPECT_EQ(6, buffer.getUsedSize());
    buffer.set(5, BmsWord("00"));
    EXPECT_EQ(0, buffer.getUsedSize());
    buffer.set(3839, BmsWord("04"));
    buffer.clear();
    EXPECT_EQ(0, buffer.getUsedSize());
}

TEST(BmsChannelTest, ReachesTheIntLimit) {
    BmsChannel lane(BmsWord("01"));
    lane.put(2147483646, BmsWord("0A"));
    EXPECT_EQ(2147483647, lane.getSize());
    EXPECT_EQ(BmsWord("0A"), lane.get(2147483646));
    EXPECT_EQ(BmsWord("00"), lane.get(1000000000));
    EXPECT_EQ(2147483647, lane.getUsedSize());
    // The largest int is one past the largest possible size.
    EXPECT_EQ(BmsWord("00"), lane.put(2147483647, BmsWord("0B")));
    EXPECT_EQ(BmsWord("00"), lane.get(2147483647));
    lane.put(3, BmsWord("0C"));
    EXPECT_TRUE(lane.contains(BmsWord("0A")));
    EXPECT_TRUE(lane.remove(2147483646));
    EXPECT_EQ(4, lane.getUsedSize());
}

TEST(BmsChannelTest, FindsTheNextObjectAcrossEmptyPages) {
    BmsChannel lane(BmsWord("11"));
    EXPECT_EQ(0, lane.findObject(0));
    lane.put(7, BmsWord("01"));
    lane.put(1024, BmsWord("02"));
    lane.put(5000000, BmsWord("03"));
    lane.put(2147483646, BmsWord("04"));
    lane.put(2147483000, BmsWord("05"));
    lane.remove(2147483000);
    const struct {
        int from;
        int found;
    } cases[] = {{-5, 7},
                 {0, 7},
                 {7, 7},
                 {8, 1024},
                 {1025, 5000000},
                 {5000001, 2147483646},
                 {2147483646, 2147483646}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        EXPECT_EQ(c.found, lane.findObject(c.from));
    }
    // Past the last object: one past it, which is the used size.
    lane.remove(2147483646);
    EXPECT_EQ(5000001, lane.findObject(5000001));
    EXPECT_EQ(5000001, lane.findObject(2000000000));
}

// Writes in ascending, descending and scattered order, with overwrites and
// removals, across many chunks of objects: every query agrees with a plain map.
TEST(BmsChannelTest, AgreesWithAMapWhateverTheOrderOfWrites) {
    const struct {
        const char* name;
        int step;  // position of write k: (k * step + offset) mod range
        int range;
    } cases[] = {
        {"ascending", 3, 100000}, {"descending", 99997, 100000}, {"scattered", 7919, 6007}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BmsBuffer lane(0);
        std::map<int, BmsWord> reference;
        for (int k = 0; k < 5000; ++k) {
            const int at = static_cast<int>((static_cast<long long>(k) * c.step + 11) % c.range);
            const BmsWord word(k % 7 == 6 ? 0 : 1 + k % 1295);
            const auto held = reference.find(at);
            const BmsWord previous = held == reference.end() ? BmsWord() : held->second;
            // Reads in any order between the writes.
            ASSERT_EQ(previous, lane.get(at));
            ASSERT_EQ(previous, lane.put(at, word));
            if (word.equals("00")) {
                reference.erase(at);
            } else {
                reference[at] = word;
            }
        }
        ASSERT_EQ(static_cast<int>(reference.size()), lane.getObjectCount());
        EXPECT_EQ(reference.rbegin()->first + 1, lane.getUsedSize());
        int from = 0;
        for (const auto& object : reference) {
            ASSERT_EQ(object.first, lane.findObject(from));
            EXPECT_EQ(object.second, lane.get(object.first));
            if (from < object.first) {
                EXPECT_EQ(BmsWord(), lane.get(object.first - 1));
            }
            from = object.first + 1;
        }
        // Removing everything, the lowest first, empties the lane.
        for (const auto& object : reference) EXPECT_TRUE(lane.remove(object.first));
        EXPECT_EQ(0, lane.getUsedSize());
        EXPECT_EQ(0, lane.getObjectCount());
        EXPECT_EQ(0, lane.findObject(0));
    }
}

TEST(BmsChannelTest, LinksOnlyLanesOfItsId) {
    BmsChannel first(BmsWord("01"));
    BmsChannel* other = new BmsChannel(BmsWord("02"));
    EXPECT_FALSE(first.setNextLane(other));
    EXPECT_EQ(nullptr, first.getNextLane());
    delete other;
    EXPECT_FALSE(first.setNextLane(&first));
    EXPECT_FALSE(first.setNextLane(nullptr));

    BmsChannel* second = new BmsChannel(BmsWord("01"));
    EXPECT_TRUE(first.setNextLane(second));
    EXPECT_TRUE(second->setNextLane(new BmsChannel(BmsWord("01"))));
    EXPECT_EQ(second, first.getNextLane());
    // Replacing the next lane destroys the chain it led to (checked by ASan).
    EXPECT_TRUE(first.setNextLane(new BmsChannel(BmsWord("01"))));
    EXPECT_EQ(nullptr, first.getNextLane()->getNextLane());
}

}  // namespace
