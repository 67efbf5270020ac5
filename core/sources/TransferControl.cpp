#include "sources/TransferControl.h"

#include <atomic>
#include <thread>
#include <utility>

namespace tunrax {

namespace {

std::atomic<bool> gEnding{false};
std::atomic<uint64_t> gGeneration{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<uint64_t>::is_always_lock_free,
              "set from signal handlers");

std::function<void()>& WaitHook() {
    static std::function<void()> hook;
    return hook;
}

// The thread that set the hook; only its transfers run it, so another
// thread never touches the hook itself.
std::atomic<std::thread::id> gHookThread{};

// The innermost deadline; they nest on the window's thread.
thread_local TTransferDeadline* tInnermost = nullptr;
thread_local int tRunning = 0;
thread_local const std::atomic<bool>* tCancelFlag = nullptr;

// Often enough that the window feels alive, seldom enough not to slow a fast
// download down.
constexpr std::chrono::milliseconds kTurnEvery{20};
thread_local std::chrono::steady_clock::time_point tLastTurn;

}  // namespace

TransferCancelled::TransferCancelled() : Error("Die Übertragung wurde abgebrochen.") {}

void EndAllTransfers() noexcept {
    gEnding.store(true);
}

bool TransfersEnding() noexcept {
    return gEnding.load();
}

void CancelRunningTransfers() noexcept {
    gGeneration.fetch_add(1);
}

void SetTransferWaitHook(std::function<void()> hook) {
    gHookThread.store(hook ? std::this_thread::get_id() : std::thread::id());
    WaitHook() = std::move(hook);
}

std::function<void()> TransferWaitHook() {
    return WaitHook();
}

int RunningTransfers() noexcept {
    return tRunning;
}

std::string AmountText(uint64_t bytes) {
    if (bytes != 0 && bytes % (uint64_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " MB";
    if (bytes != 0 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KB";
    return std::to_string(bytes) + " Bytes";
}

std::string SecondsText(std::chrono::milliseconds time) {
    const int64_t tenths = (time.count() + 99) / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text += "," + std::to_string(tenths % 10);
    return text + " s";
}

TTransferWatch::TTransferWatch(std::string what, const TPaceLimits& limits, bool bounded)
    : FWhat(std::move(what)),
      FLimits(limits),
      FBounded(bounded),
      FGeneration(gGeneration.load()),
      FCancelFlag(tCancelFlag),
      FStart(Clock::now()),
      FWindowStart(FStart) {
    ++tRunning;
}

TTransferWatch::~TTransferWatch() {
    --tRunning;
}

void TTransferWatch::Moved(uint64_t bytes) {
    FInWindow += bytes;
    if (FLimits.minBytes > 0 && FInWindow >= static_cast<uint64_t>(FLimits.minBytes)) {
        FWindowStart = Clock::now();
        FInWindow = 0;
    }
}

void TTransferWatch::Restart() {
    FWindowStart = Clock::now();
    FInWindow = 0;
}

bool TTransferWatch::Cancelled() const noexcept {
    return gEnding.load() || gGeneration.load() != FGeneration ||
           (FCancelFlag && FCancelFlag->load());
}

void TTransferWatch::Check() {
    Clock::time_point now = Clock::now();
    if (gHookThread.load() == std::this_thread::get_id() && now - tLastTurn >= kTurnEvery &&
        WaitHook()) {
        tLastTurn = now;
        WaitHook()();
        now = Clock::now();
    }
    if (Cancelled())
        throw TransferCancelled();
    if (FLimits.minBytes > 0 && now - FWindowStart > FLimits.window)
        throw Error("Die Übertragung von " + FWhat + " ist zu langsam (weniger als " +
                    AmountText(static_cast<uint64_t>(FLimits.minBytes)) + " in " +
                    SecondsText(FLimits.window) + ").");
    if (FBounded && now - FStart > FLimits.ceiling)
        throw Error("Die Übertragung von " + FWhat + " dauert zu lange (mehr als " +
                    SecondsText(FLimits.ceiling) + ").");
    for (const TTransferDeadline* deadline = tInnermost; deadline; deadline = deadline->FOuter)
        if (now > deadline->FEnd)
            throw Error(deadline->FMessage);
}

TTransferCancelScope::TTransferCancelScope(const std::atomic<bool>& flag) : FOuter(tCancelFlag) {
    tCancelFlag = &flag;
}

TTransferCancelScope::~TTransferCancelScope() {
    tCancelFlag = FOuter;
}

TTransferDeadline::TTransferDeadline(std::chrono::milliseconds limit, std::string message)
    : FEnd(std::chrono::steady_clock::now() + limit),
      FMessage(std::move(message)),
      FOuter(tInnermost) {
    tInnermost = this;
}

TTransferDeadline::~TTransferDeadline() {
    tInnermost = FOuter;
}

}  // namespace tunrax
