// What keeps a transfer from holding the program: transfers run on the
// window's thread and block on the network, so each one waits in short
// slices and between them gives the program its turn (the window's event
// loop), looks whether it was called off, and whether it still makes enough
// progress. A server that drips a byte a second never trips a plain "no data"
// time-out; a slow-progress bound ends it with a German message. A transfer
// on another thread (fetching the next song ahead) keeps the same bounds but
// never runs the window's event loop, and can be called off on its own.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "io/Error.h"

namespace tunrax {

// The longest a transfer waits between two checks.
inline constexpr std::chrono::milliseconds kTransferSlice{20};

struct TPaceLimits {
    // At least minBytes must move in every window; 0 switches the bound off.
    int64_t minBytes = 1024;
    std::chrono::milliseconds window{30000};
    // The longest a listing or the catalogue may take in all. Listings and
    // catalogues are small, so a transfer that takes longer is a hostile or
    // broken server, not a slow line.
    std::chrono::milliseconds ceiling{120000};
    // The longest the greeting and the login of a server may take in all: a
    // server that keeps saying "wait" without end is not going to serve.
    std::chrono::milliseconds login{60000};
};

// A transfer that the user or the program's end called off. Nobody's fault:
// windows show no message for it.
class TransferCancelled : public Error {
public:
    TransferCancelled();
};

// Ends every transfer and scan, those running and those still to come. Safe
// in a signal handler and from any thread.
void EndAllTransfers() noexcept;
bool TransfersEnding() noexcept;
// Ends the transfers and scans running now; later ones run as usual.
void CancelRunningTransfers() noexcept;
// What the program does while a transfer waits (at least every
// kTransferSlice): the window runs its event loop here. None by default. It
// runs only for transfers on the thread that set it: a transfer in the
// background must never pump the window's events.
void SetTransferWaitHook(std::function<void()> hook);
// The hook set now, for a window that sets its own for a while and then
// puts this one back.
std::function<void()> TransferWaitHook();
// How many transfers and scans are under way on this thread (nested ones
// count each).
int RunningTransfers() noexcept;

// While it lives, the transfers that start on its thread are also called off
// when flag becomes true: one background transfer ends without ending the
// window's. Lives on the stack; the flag outlives it.
class TTransferCancelScope {
public:
    explicit TTransferCancelScope(const std::atomic<bool>& flag);
    ~TTransferCancelScope();
    TTransferCancelScope(const TTransferCancelScope&) = delete;
    TTransferCancelScope& operator=(const TTransferCancelScope&) = delete;

private:
    const std::atomic<bool>* FOuter;
};

// One transfer's bounds, from its start to its end.
class TTransferWatch {
public:
    // what: the thing transferred as messages name it. bounded: the ceiling
    // applies (listings, the catalogue).
    explicit TTransferWatch(std::string what, const TPaceLimits& limits = {}, bool bounded = false);
    ~TTransferWatch();
    TTransferWatch(const TTransferWatch&) = delete;
    TTransferWatch& operator=(const TTransferWatch&) = delete;

    // Bytes arrived or sent.
    void Moved(uint64_t bytes);
    // A new request on the same connection: its answer has a fresh window.
    void Restart();
    // Gives the program its turn now and then, then throws TransferCancelled
    // when called off, or Error when too slow, past the ceiling or past a
    // TTransferDeadline.
    void Check();
    // Whether the transfer was called off, without giving the program a turn.
    bool Cancelled() const noexcept;

private:
    using Clock = std::chrono::steady_clock;
    std::string FWhat;
    TPaceLimits FLimits;
    bool FBounded;
    uint64_t FGeneration;
    const std::atomic<bool>* FCancelFlag;
    Clock::time_point FStart;
    Clock::time_point FWindowStart;
    uint64_t FInWindow = 0;
};

// A bound on the time of everything transferred while it lives, for work
// made of several transfers (loading the catalogue). Lives on the stack.
class TTransferDeadline {
public:
    TTransferDeadline(std::chrono::milliseconds limit, std::string message);
    ~TTransferDeadline();
    TTransferDeadline(const TTransferDeadline&) = delete;
    TTransferDeadline& operator=(const TTransferDeadline&) = delete;

private:
    std::chrono::steady_clock::time_point FEnd;
    std::string FMessage;
    TTransferDeadline* FOuter;
    friend class TTransferWatch;
};

// The German text for an amount of data ("256 MB", "2 KB", "15 Bytes").
std::string AmountText(uint64_t bytes);
// The German text for a time ("30 s", "1,5 s").
std::string SecondsText(std::chrono::milliseconds time);

}  // namespace tunrax
