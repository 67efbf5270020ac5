// The bounds of a transfer in time, and calling it off, on a real clock with
// short limits.
#include "sources/TransferControl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace tunrax;
using namespace std::chrono_literals;

namespace {

TPaceLimits Limits(int64_t minBytes, std::chrono::milliseconds window,
                   std::chrono::milliseconds ceiling = 10s) {
    TPaceLimits limits;
    limits.minBytes = minBytes;
    limits.window = window;
    limits.ceiling = ceiling;
    return limits;
}

std::string MessageOf(TTransferWatch& watch) {
    try {
        watch.Check();
    } catch (const TransferCancelled&) {
        return "cancelled";
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

// Clears the hook however a test ends.
struct HookGuard {
    ~HookGuard() { SetTransferWaitHook(nullptr); }
};

}  // namespace

TEST(TransferWatch, DrippingBytesAreTooSlowWhileSteadyKilobytesAreNot) {
    TTransferWatch drip("\"tunrax.dat\"", Limits(1024, 300ms));
    TTransferWatch steady("\"a.mp3\"", Limits(1024, 300ms));
    for (int i = 0; i < 8; ++i) {
        std::this_thread::sleep_for(50ms);
        drip.Moved(100);  // 800 bytes in 400 ms: never a whole KB
        steady.Moved(400);
        EXPECT_EQ(MessageOf(steady), "") << i;
    }
    EXPECT_EQ(MessageOf(drip),
              "Die Übertragung von \"tunrax.dat\" ist zu langsam (weniger als 1 KB in 0,3 s).");

    // A new request starts its own window; minBytes 0 switches the bound off.
    drip.Restart();
    EXPECT_EQ(MessageOf(drip), "");
    TTransferWatch unbounded("\"x\"", Limits(0, 1ms));
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(MessageOf(unbounded), "");
}

TEST(TransferWatch, CeilingHoldsForBoundedTransfersOnlyAndDeadlinesNest) {
    TTransferWatch listing("\"Ordner\"", Limits(1, 10s, 100ms), true);
    TTransferWatch song("\"a.mp3\"", Limits(1, 10s, 100ms), false);
    std::this_thread::sleep_for(150ms);
    listing.Moved(1);
    song.Moved(1);
    EXPECT_EQ(MessageOf(listing),
              "Die Übertragung von \"Ordner\" dauert zu lange (mehr als 0,1 s).");
    EXPECT_EQ(MessageOf(song), "");

    {
        TTransferDeadline outer(60ms, "Der Katalog lädt zu lange.");
        TTransferWatch inside("\"x\"");
        EXPECT_EQ(MessageOf(inside), "");
        {
            TTransferDeadline inner(10s, "innen");
            std::this_thread::sleep_for(80ms);
            EXPECT_EQ(MessageOf(inside), "Der Katalog lädt zu lange.");
        }
    }
    TTransferWatch after("\"x\"");
    EXPECT_EQ(MessageOf(after), "");
}

TEST(TransferWatch, CancellingEndsTheRunningTransfersAlsoFromTheWaitHook) {
    HookGuard guard;
    TTransferWatch running("\"a.mp3\"");
    CancelRunningTransfers();
    TTransferWatch later("\"b.mp3\"");
    EXPECT_EQ(RunningTransfers(), 2);
    EXPECT_TRUE(running.Cancelled());
    EXPECT_EQ(MessageOf(running), "cancelled");
    EXPECT_EQ(MessageOf(later), "");

    // The window's event loop runs inside Check: a click on "Beenden" there
    // ends the transfer in the same check.
    int turns = 0;
    SetTransferWaitHook([&turns] {
        if (++turns == 3)
            CancelRunningTransfers();
    });
    const auto start = std::chrono::steady_clock::now();
    std::string message;
    while (message.empty() && std::chrono::steady_clock::now() - start < 2s) {
        std::this_thread::sleep_for(kTransferSlice);
        message = MessageOf(later);
    }
    EXPECT_EQ(message, "cancelled");
    EXPECT_EQ(turns, 3);
}

TEST(TransferWatch, ABackgroundTransferNeitherRunsTheWaitHookNorFollowsAnotherCancel) {
    HookGuard guard;
    // The hook pumps the window's event loop: only its own thread may run it.
    std::atomic<int> turns{0};
    SetTransferWaitHook([&turns] { ++turns; });
    std::atomic<bool> flag{false};
    std::string background;
    bool cancelledByFlag = false;
    std::thread worker([&] {
        TTransferCancelScope scope(flag);
        TTransferWatch watch("\"n.mp3\"");
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(kTransferSlice + 5ms);
            background += MessageOf(watch);
        }
        flag = true;
        cancelledByFlag = watch.Cancelled() && MessageOf(watch) == "cancelled";
    });
    worker.join();
    EXPECT_EQ(turns.load(), 0) << "the hook ran on the background thread";
    EXPECT_EQ(background, "");
    EXPECT_TRUE(cancelledByFlag) << "the transfer's own flag did not call it off";

    // The flag belongs to the transfers made within its scope, on its thread.
    TTransferWatch foreground("\"a.mp3\"");
    std::this_thread::sleep_for(kTransferSlice + 5ms);
    EXPECT_EQ(MessageOf(foreground), "") << "another thread's flag called this transfer off";
    EXPECT_EQ(turns.load(), 1) << "the hook did not run on its own thread";
}

TEST(TransferWatch, EndingTheProgramEndsEveryTransferAlsoTheNextOnes) {
    // The switch cannot be turned back, so it is thrown in a child.
    EXPECT_EXIT(
        {
            TTransferWatch running("\"a\"");
            EndAllTransfers();
            TTransferWatch next("\"b\"");
            std::exit(TransfersEnding() && MessageOf(running) == "cancelled" &&
                              MessageOf(next) == "cancelled"
                          ? 0
                          : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(TransferWatch, SecondsAreWrittenTheGermanWay) {
    EXPECT_EQ(SecondsText(30000ms), "30 s");
    EXPECT_EQ(SecondsText(120000ms), "120 s");
    EXPECT_EQ(SecondsText(1500ms), "1,5 s");
    EXPECT_EQ(SecondsText(1ms), "0,1 s");
}
