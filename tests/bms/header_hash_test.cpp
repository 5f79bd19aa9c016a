#include "bms/header_hash.h"

#include <gtest/gtest.h>

namespace {

TEST(BmsHeaderHashTest, KeysIgnoreCaseAndStayUnique) {
    BmsHeaderHash headers;
    headers.add("Title", "first");
    EXPECT_STREQ("first", headers.get("TITLE"));
    EXPECT_STREQ("first", headers.get("title"));
    ASSERT_NE(nullptr, headers.find("tItLe"));
    EXPECT_STREQ("TITLE", headers.find("tItLe")->getKey());

    headers.add("TITLE", "Second Value ");
    EXPECT_EQ(1, headers.getCount());
    EXPECT_STREQ("Second Value ", headers.get("Title"));

    EXPECT_STREQ("", headers.get("ARTIST"));
    EXPECT_EQ(nullptr, headers.find("ARTIST"));
    EXPECT_FALSE(headers.remove("ARTIST"));
    headers.add("BPM", nullptr);
    EXPECT_STREQ("", headers.get("bpm"));
    EXPECT_EQ(2, headers.getCount());
}

TEST(BmsHeaderHashTest, HashesUpperCasedBytes) {
    // Worked out by hand: 'A' = 65; '1' * 37 + 'E' = 1882 = 23 * 79 + 65;
    // 'D' * 37 + 'M' = 2593 = 32 * 79 + 65.
    EXPECT_EQ(65, BmsHeaderHash::hashKey("A"));
    EXPECT_EQ(65, BmsHeaderHash::hashKey("1e"));
    EXPECT_EQ(65, BmsHeaderHash::hashKey("DM"));
    // The accumulator wraps modulo 2^32: 983966475 after ten letters.
    EXPECT_EQ(983966475u % 79u, static_cast<unsigned>(BmsHeaderHash::hashKey("abcdefghij")));
}

TEST(BmsHeaderHashTest, UnlinksWithinOneBucket) {
    BmsHeaderHash headers;
    headers.add("A", "a");
    headers.add("1E", "1e");
    headers.add("DM", "dm");
    std::unique_ptr<BmsHeaderOne> middle = headers.detach("1e");
    ASSERT_NE(nullptr, middle);
    EXPECT_STREQ("1e", middle->getValue());
    EXPECT_EQ(nullptr, middle->getNext());
    EXPECT_EQ(2, headers.getCount());
    EXPECT_STREQ("a", headers.get("A"));
    EXPECT_STREQ("dm", headers.get("DM"));
    EXPECT_TRUE(headers.remove("A"));
    EXPECT_STREQ("dm", headers.get("DM"));
    headers.add("A", "again");
    EXPECT_EQ(2, headers.clear());
    EXPECT_EQ(0, headers.getCount());
    EXPECT_STREQ("", headers.get("DM"));
}

}  // namespace
