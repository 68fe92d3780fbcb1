#include "render/block_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace zelvaro {
namespace {

// Blocks finished out of order by several producers still reach the
// consumer in number order, each in the slot it was filled in.
TEST(BlockQueue, HandsOnBlocksInNumberOrderWhateverOrderTheyAreFinished) {
    BlockQueue queue(4, 1, 2);
    ASSERT_TRUE(queue.usable());
    int block[3];
    int slot[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(queue.claim(block[i], slot[i]));
        EXPECT_EQ(block[i], i);
        queue.slotSamples(slot[i])[0] = 100 + i;
    }
    for (int i : {2, 0, 1})
        queue.publish(block[i]);
    for (int i = 0; i < 3; ++i) {
        const int taken = queue.take();
        ASSERT_GE(taken, 0);
        EXPECT_EQ(queue.slotSamples(taken)[0], 100 + i) << "block " << i;
        queue.release();
    }
}

// A full queue holds its producers until half of it is free, and a consumer
// on another thread drains 1,000 blocks through four slots in order.
TEST(BlockQueue, ProducersAndAConsumerOnTheirOwnThreads) {
    BlockQueue queue(4, 1, 3);
    constexpr int kBlocks = 1000;
    std::vector<int> seen;
    std::thread consumer([&] {
        for (int i = 0; i < kBlocks; ++i) {
            const int slot = queue.take();
            if (slot < 0)
                return;
            seen.push_back(queue.slotSamples(slot)[0]);
            queue.release();
        }
    });
    // Producers, as the queue's users do, keep claiming until it is closed;
    // the consumer waits for a few blocks in a row, so a producer that
    // stopped short would leave it waiting.
    std::vector<std::thread> producers;
    for (int p = 0; p < 3; ++p)
        producers.emplace_back([&] {
            int block;
            int slot;
            while (queue.claim(block, slot)) {
                queue.slotSamples(slot)[0] = block;
                queue.publish(block);
            }
        });
    consumer.join();
    queue.close();
    for (std::thread& producer : producers)
        producer.join();
    ASSERT_EQ(seen.size(), static_cast<size_t>(kBlocks));
    for (int i = 0; i < kBlocks; ++i)
        ASSERT_EQ(seen[i], i);
}

// After closing, the consumer still takes what was published and then stops,
// instead of waiting for a block that was claimed and never finished.
TEST(BlockQueue, ClosingLetsTheConsumerTakeWhatWasPublishedAndStop) {
    BlockQueue queue(8, 1, 3);
    int block;
    int slot;
    ASSERT_TRUE(queue.claim(block, slot));
    queue.slotSamples(slot)[0] = 7;
    queue.publish(block);
    ASSERT_TRUE(queue.claim(block, slot));  // never published
    int taken = -2;
    std::thread consumer([&] {
        const int first = queue.take();
        taken = queue.slotSamples(first)[0];
        queue.release();
        EXPECT_EQ(queue.take(), -1);
    });
    queue.close();
    consumer.join();
    EXPECT_EQ(taken, 7);
    EXPECT_FALSE(queue.claim(block, slot));
}

}  // namespace
}  // namespace zelvaro
