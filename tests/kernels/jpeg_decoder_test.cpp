#include "kernels/errors.h"
#include "kernels/jpeg_decoder.h"
#include "kernels/memory_limit.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// One of the regression pictures, opened: the decoder reads what the caller opened.
std::unique_ptr<std::FILE, int (*)(std::FILE*)> hostile(const char* name) {
    return {std::fopen((std::string(TESSARINE_HOSTILE_DIR) + "/" + name).c_str(), "rb"), &std::fclose};
}

err::Error decodeError(const char* name) {
    try {
        jpeg::decodeInto(
            hostile(name).get(), [](const jpeg::Info&) { return int64_t(0); }, [](const jpeg::Info&) {},
            [](int) -> px::Pixel* {
                static thread_local std::vector<px::Pixel> row(1 << 16);
                return row.data();
            },
            [](int) {});
    } catch (const err::Error& e) {
        return e;
    }
    return err::Error(0, "no error");
}

TEST(JpegDecoder, ThousandScansAreRefusedBeforeDecoding) {
    try {
        jpeg::readInfo(hostile("scan-bomb.jpg").get());
        FAIL() << "a file of 1000 scans was taken";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.number(), err::InvalidPicture);
        EXPECT_EQ(e.kind(), err::Kind::TooManyScans);
        EXPECT_EQ(e.description(), "Invalid picture (the JPEG file has more than 300 scans)");
    }
    EXPECT_EQ(decodeError("scan-bomb.jpg").kind(), err::Kind::TooManyScans);
}

TEST(JpegDecoder, CoefficientBufferCountsTowardsTheLimit) {
    // 23170 x 23170 pixels in three full-size components: 2897 x 2897 blocks of 128 bytes each.
    const jpeg::Info info = jpeg::readInfo(hostile("progressive-huge.jpg").get());
    EXPECT_TRUE(info.progressive);
    EXPECT_EQ(info.coefficientBytes, int64_t(2897) * 2897 * 128 * 3);
    const err::Error e = decodeError("progressive-huge.jpg");
    EXPECT_EQ(e.number(), err::OutOfMemory);
    EXPECT_EQ(e.kind(), err::Kind::TooLarge);
    EXPECT_EQ(e.description(), "Out of memory (the picture is 23170 x 23170 pixels)");
    // A picture Qt will read is checked the same way.
    try {
        jpeg::verify(hostile("cmyk-progressive-huge.jpg").get());
        FAIL() << "a CMYK picture needing gigabytes was taken";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.kind(), err::Kind::TooLarge);
    }
}

TEST(JpegDecoder, CutShortIsNoticedAlsoWhenClosedAgain) {
    EXPECT_EQ(decodeError("cut-closed.jpg").kind(), err::Kind::Truncated);
    try {
        jpeg::verify(hostile("cmyk-cut.jpg").get());
        FAIL() << "a CMYK picture cut short passed";
    } catch (const err::Error& e) {
        EXPECT_EQ(e.kind(), err::Kind::Truncated);
    }
    EXPECT_NO_THROW(jpeg::verify(hostile("cmyk.jpg").get()));
    EXPECT_NO_THROW(jpeg::verify(hostile("ycck.jpg").get()));
    EXPECT_EQ(decodeError("cmyk.jpg").kind(), err::Kind::UnsupportedColourSpace);
}

TEST(MemoryBudget, OneDecodeBeyondTheBudgetIsRefusedOthersWait) {
    memlimit::setPictureAllocationLimitMB(10);
    const int64_t mb = 1024 * 1024;
    EXPECT_THROW(memlimit::Reservation(11 * mb, 1, 1), err::Error);
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> secondHeld{false};
    auto first = std::make_unique<memlimit::Reservation>(6 * mb, 1, 1);
    std::thread second([&] {
        memlimit::Reservation r(6 * mb, 1, 1); // does not fit beside the first: waits for it
        secondHeld = true;
        cv.notify_all();
    });
    // The second cannot hold its share while the first does; give it every chance to (wrongly) take it.
    for (int i = 0; i < 100 && !secondHeld; ++i)
        std::this_thread::yield();
    EXPECT_FALSE(secondHeld);
    EXPECT_EQ(memlimit::Reservation::held(), 6 * mb);
    first.reset();
    {
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return bool(secondHeld); }));
    }
    second.join();
    EXPECT_EQ(memlimit::Reservation::held(), 0);
    memlimit::setPictureAllocationLimitMB(2048);
}

} // namespace
