// The owner of the current music source. Transfers let the event loop run
// (the progress display repaints, the copy wizard lets Cancel through), so
// timers, remote commands and the session's end arrive while the source is in
// use. Every use holds a lease; replacing the source and ending the program
// are held back until the last lease has ended, and then run.
//
// Nothing here throws but the steps given to Replace and End: a step that
// runs at once throws to the caller, a held-back one to whatever runs what
// post was given. The owner owns the source; a lease keeps the source it was
// lent alive until it ends, also when the owner has moved on or gone.
#pragma once

#include <functional>
#include <memory>

namespace tunrax {

class TSource;
struct TSourceOwnerState;  // shared by an owner and its leases

class TSourceLease {
public:
    TSourceLease() = default;  // lends nothing
    TSourceLease(TSourceLease&& other) noexcept;
    TSourceLease& operator=(TSourceLease&& other) noexcept;
    ~TSourceLease();
    TSourceLease(const TSourceLease&) = delete;
    TSourceLease& operator=(const TSourceLease&) = delete;

    // The source lent; none when the owner had none.
    TSource* Get() const { return FSource.get(); }
    TSource& operator*() const { return *FSource; }
    TSource* operator->() const { return FSource.get(); }
    explicit operator bool() const { return FSource != nullptr; }

    // Ends the lease before its scope does.
    void End();

private:
    friend class TSourceOwner;
    TSourceLease(std::shared_ptr<TSourceOwnerState> owner, std::shared_ptr<TSource> source,
                 int borrower);

    std::shared_ptr<TSourceOwnerState> FOwner;
    std::shared_ptr<TSource> FSource;
    int FBorrower = 0;  // 0: a transfer's lease
};

class TSourceOwner {
public:
    using Step = std::function<void()>;

    // post runs a held-back step later from the caller's event loop: never
    // inside the end of the lease that freed it, whose caller may go on.
    explicit TSourceOwner(std::function<void(Step)> post);
    ~TSourceOwner();
    TSourceOwner(const TSourceOwner&) = delete;
    TSourceOwner& operator=(const TSourceOwner&) = delete;

    // The current source; none before the first is set and after the end.
    TSource* Get() const;
    TSource& operator*() const { return *Get(); }
    TSource* operator->() const { return Get(); }
    explicit operator bool() const { return Get() != nullptr; }

    // A lease for one transfer: the owner is busy while it lives.
    TSourceLease Lease();
    // A lease for a window that works with the source a while (the copy
    // wizard): the owner is not busy between its transfers, but replacing
    // and ending wait for it. letGo is called when the program is to end and
    // no transfer is under way; it should end the lease soon.
    TSourceLease Borrow(Step letGo);

    // A transfer's lease is out.
    bool Busy() const;
    // End was asked for: work under way should not start what outlives it.
    bool EndRequested() const;

    // Runs step, which puts another source in place through Set, at once when
    // no lease is out, else once the last has ended. A later request takes
    // the place of one still held back; after End none runs.
    void Replace(Step step);
    // Puts source (or none) in place. Meant for a Replace step: a lease still
    // out keeps the source it was lent.
    void Set(std::unique_ptr<TSource> source);
    // Ends the program as Replace replaces the source, but first asks every
    // borrower to let go; a held-back replacement is dropped.
    void End(Step step);

private:
    std::shared_ptr<TSourceOwnerState> FState;
};

}  // namespace tunrax
