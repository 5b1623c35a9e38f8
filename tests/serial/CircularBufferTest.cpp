#include <gtest/gtest.h>

#include <string>

#include "serial/CircularBuffer.h"

namespace lum {
namespace {

bool Put(TCircularBuffer& ring, const std::string& bytes) {
    return ring.Write(bytes.data(), bytes.size());
}

std::string Block(const TCircularBuffer& ring) {
    return std::string(reinterpret_cast<const char*>(ring.BlockStart()), ring.ContiguousBlock());
}

TEST(CircularBuffer, EmptyRing) {
    TCircularBuffer ring(8);
    EXPECT_EQ(ring.Used(), 0u);
    EXPECT_EQ(ring.Free(), 8u);
    EXPECT_EQ(ring.ContiguousBlock(), 0u);
    EXPECT_TRUE(ring.Remove(0));
    EXPECT_FALSE(ring.Remove(1));
}

TEST(CircularBuffer, WriteIsAllOrNothing) {
    TCircularBuffer ring(8);
    EXPECT_FALSE(ring.Write("x", 0));
    ASSERT_TRUE(Put(ring, "abcde"));
    EXPECT_FALSE(Put(ring, "1234"));  // 4 > 3 free: nothing goes in
    EXPECT_EQ(ring.Used(), 5u);
    EXPECT_EQ(Block(ring), "abcde");
    EXPECT_TRUE(Put(ring, "123"));  // exactly the free space
    EXPECT_EQ(ring.Free(), 0u);
    EXPECT_FALSE(Put(ring, "z"));
}

TEST(CircularBuffer, FullFlagTellsFullFromEmpty) {
    TCircularBuffer ring(4);
    ASSERT_TRUE(Put(ring, "abcd"));  // write position wraps onto the read position
    EXPECT_EQ(ring.Used(), 4u);
    EXPECT_EQ(ring.ContiguousBlock(), 4u);
    EXPECT_EQ(Block(ring), "abcd");
    EXPECT_TRUE(ring.Remove(0));  // taking nothing keeps it full
    EXPECT_EQ(ring.Used(), 4u);
    EXPECT_FALSE(ring.Remove(5));
    EXPECT_EQ(ring.Used(), 4u);
    EXPECT_TRUE(ring.Remove(4));
    EXPECT_EQ(ring.Used(), 0u);
    EXPECT_EQ(ring.Free(), 4u);
}

TEST(CircularBuffer, WrapsInTwoPiecesAndKeepsOrder) {
    TCircularBuffer ring(8);
    ASSERT_TRUE(Put(ring, "abcdef"));
    ASSERT_TRUE(ring.Remove(5));      // read position 5, one byte ("f") held
    ASSERT_TRUE(Put(ring, "GHIJK"));  // 2 bytes to the end, 3 from the start
    EXPECT_EQ(ring.Used(), 6u);
    EXPECT_EQ(ring.ContiguousBlock(), 3u);  // up to the end of the storage
    EXPECT_EQ(Block(ring), "fGH");
    ASSERT_TRUE(ring.Remove(3));
    EXPECT_EQ(Block(ring), "IJK");
    ASSERT_TRUE(Put(ring, "lmnop"));  // fills it: positions meet again
    EXPECT_EQ(ring.Free(), 0u);
    EXPECT_EQ(ring.ContiguousBlock(), 8u - 0u);  // read position is 0: the whole storage
    EXPECT_EQ(Block(ring), "IJKlmnop");
}

TEST(CircularBuffer, FullRingWithReadPositionInside) {
    TCircularBuffer ring(6);
    ASSERT_TRUE(Put(ring, "abcd"));
    ASSERT_TRUE(ring.Remove(4));
    ASSERT_TRUE(Put(ring, "123456"));  // full, read and write both at 4
    EXPECT_EQ(ring.Used(), 6u);
    EXPECT_EQ(ring.ContiguousBlock(), 2u);  // size - read
    EXPECT_EQ(Block(ring), "12");
    ASSERT_TRUE(ring.Remove(2));
    EXPECT_EQ(Block(ring), "3456");
}

TEST(CircularBuffer, ClearEmptiesAFullRing) {
    TCircularBuffer ring(4);
    ASSERT_TRUE(Put(ring, "abcd"));
    ring.Clear();
    EXPECT_EQ(ring.Used(), 0u);
    EXPECT_EQ(ring.ContiguousBlock(), 0u);
    ASSERT_TRUE(Put(ring, "xy"));
    EXPECT_EQ(Block(ring), "xy");
}

TEST(CircularBuffer, ZeroSizedRingTakesNothing) {
    TCircularBuffer ring(0);
    EXPECT_EQ(ring.Free(), 0u);
    EXPECT_FALSE(Put(ring, "a"));
    EXPECT_TRUE(ring.Remove(0));
}

}  // namespace
}  // namespace lum
