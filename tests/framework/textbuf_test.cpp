#include "framework/textbuf.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace pellgameapi {
namespace {

TEST(TextbufCapacity, IsTheNextMultipleOf128AboveTheRequest) {
  EXPECT_EQ(textbuf().capacity, 128);
  const std::pair<std::size_t, int32_t> cases[] = {
      {2, 128}, {127, 128}, {128, 256}, {512, 640}, {4096, 4224}};
  for (auto [request, capacity] : cases) {
    textbuf buffer(request);
    EXPECT_EQ(buffer.capacity, capacity) << "request " << request;
    EXPECT_STREQ(buffer.text, "");
  }
}

TEST(TextbufCapacity, AssignGrowsWhenTheTextWouldFillTheCapacity) {
  textbuf buffer;
  const std::pair<std::size_t, int32_t> cases[] = {{127, 128}, {128, 256}, {300, 384}};
  for (auto [length, capacity] : cases) {
    std::string text(length, 'a');
    buffer = text.c_str();
    EXPECT_EQ(buffer.capacity, capacity) << "length " << length;
    EXPECT_EQ(buffer.text, text);
  }
}

TEST(TextbufFormat, GrowsSmallBuffersTo640AndCutsAtTheCapacity) {
  textbuf small;
  small.format("%04d-%s", 7, "x");
  EXPECT_EQ(small.capacity, 640);
  EXPECT_STREQ(small.text, "0007-x");

  textbuf edge(400);  // capacity 512, the largest that grows
  edge.format("x");
  EXPECT_EQ(edge.capacity, 640);

  textbuf large(4096);
  large.format("%d", 42);
  EXPECT_EQ(large.capacity, 4224);

  std::string longText(1000, 'x');
  small.format("%s", longText.c_str());
  EXPECT_EQ(small.capacity, 640);
  EXPECT_EQ(small.text, longText.substr(0, 640));
  small.format(nullptr);
  EXPECT_STREQ(small.text, "");
}

TEST(TextbufStorage, ReserveOnlyWhereThereIsNoneAndGrowKeepsTheText) {
  textbuf buffer;
  buffer = "keep\x01\xff";
  char* storage = buffer.text;
  EXPECT_FALSE(buffer.reserve(4096));
  EXPECT_EQ(buffer.text, storage);
  EXPECT_EQ(buffer.capacity, 128);

  EXPECT_TRUE(buffer.grow(1000));
  EXPECT_EQ(buffer.capacity, 1024);
  EXPECT_STREQ(buffer.text, "keep\x01\xff");
  EXPECT_EQ(buffer.text[1024], 0);
}

// The lock of every storage change is made by the first one and is the same for all.
TEST(TextbufStorage, EveryBufferTakesTheOneSharedLock) {
  textbuf buffer;
  critsec* lock = textlock.load();
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(sharedTextlock(), lock);
}

TEST(TextbufStorage, AssignAfterReleaseMakesNewStorage) {
  textbuf buffer;
  buffer.release();
  EXPECT_EQ(buffer.text, nullptr);
  EXPECT_EQ(buffer.capacity, 0);
  buffer.assign("abc");
  EXPECT_STREQ(buffer.text, "abc");
  EXPECT_EQ(buffer.capacity, 128);
  buffer.assign(nullptr);
  EXPECT_STREQ(buffer.text, "");
}

// Capacities are signed 32-bit counts: a request that would pass INT32_MAX is
// refused and the buffer stays as it was.
TEST(TextbufStorage, RequestsBeyondTheLargestCapacityFail) {
  textbuf buffer;
  buffer = "abc";
  char* storage = buffer.text;
  EXPECT_FALSE(buffer.grow(INT32_MAX - 10));
  EXPECT_EQ(buffer.text, storage);
  EXPECT_EQ(buffer.capacity, 128);
  EXPECT_STREQ(buffer.text, "abc");

  buffer.release();
  EXPECT_FALSE(buffer.reserve(SIZE_MAX));
  EXPECT_EQ(buffer.text, nullptr);
  EXPECT_EQ(buffer.capacity, 0);
}

}  // namespace
}  // namespace pellgameapi
