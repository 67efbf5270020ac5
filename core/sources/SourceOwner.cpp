#include "sources/SourceOwner.h"

#include <map>
#include <utility>
#include <vector>

#include "sources/Source.h"

namespace tunrax {

// Shared by the owner and its leases, so that a lease that outlives the
// owner ends harmlessly.
struct TSourceOwnerState {
    std::function<void(TSourceOwner::Step)> post;  // none once the owner has gone
    std::shared_ptr<TSource> source;
    int transfers = 0;
    std::map<int, TSourceOwner::Step> borrowers;  // by id, each with its letGo
    int nextBorrower = 1;
    TSourceOwner::Step replace;  // held back
    TSourceOwner::Step end;      // held back
    bool endRequested = false;
    bool posted = false;  // a run of the held-back steps is on its way
};

namespace {

using SharedState = std::shared_ptr<TSourceOwnerState>;

bool Pending(const TSourceOwnerState& state) {
    return state.replace || state.end;
}

// Runs what was held back, once nothing holds it any longer.
void RunHeldBack(TSourceOwnerState& state) {
    if (state.transfers > 0)
        return;
    if (state.end) {
        if (!state.borrowers.empty()) {
            // Each borrower ends its lease; the last one's end comes back here.
            std::vector<TSourceOwner::Step> letGo;
            for (const auto& borrower : state.borrowers)
                letGo.push_back(borrower.second);
            for (const TSourceOwner::Step& step : letGo)
                if (step)
                    step();
            return;
        }
        TSourceOwner::Step step = std::exchange(state.end, nullptr);
        state.replace = nullptr;
        step();
        return;
    }
    if (state.replace && state.borrowers.empty()) {
        TSourceOwner::Step step = std::exchange(state.replace, nullptr);
        step();
    }
}

void Release(const SharedState& state, int borrower) {
    if (borrower == 0)
        --state->transfers;
    else
        state->borrowers.erase(borrower);
    if (state->transfers > 0 || !Pending(*state) || state->posted || !state->post)
        return;
    state->posted = true;
    std::weak_ptr<TSourceOwnerState> weak = state;
    state->post([weak] {
        if (SharedState alive = weak.lock()) {
            alive->posted = false;
            RunHeldBack(*alive);
        }
    });
}

}  // namespace

TSourceLease::TSourceLease(std::shared_ptr<TSourceOwnerState> owner,
                           std::shared_ptr<TSource> source, int borrower)
    : FOwner(std::move(owner)), FSource(std::move(source)), FBorrower(borrower) {}

TSourceLease::TSourceLease(TSourceLease&& other) noexcept
    : FOwner(std::move(other.FOwner)),
      FSource(std::move(other.FSource)),
      FBorrower(other.FBorrower) {}

TSourceLease& TSourceLease::operator=(TSourceLease&& other) noexcept {
    if (this != &other) {
        End();
        FOwner = std::move(other.FOwner);
        FSource = std::move(other.FSource);
        FBorrower = other.FBorrower;
    }
    return *this;
}

TSourceLease::~TSourceLease() {
    End();
}

void TSourceLease::End() {
    if (!FOwner)
        return;
    SharedState owner = std::move(FOwner);
    FOwner = nullptr;
    Release(owner, FBorrower);
    FSource.reset();  // after the owner's count: the source may be the last of its kind
}

TSourceOwner::TSourceOwner(std::function<void(Step)> post)
    : FState(std::make_shared<TSourceOwnerState>()) {
    FState->post = std::move(post);
}

TSourceOwner::~TSourceOwner() {
    FState->post = nullptr;
    FState->replace = nullptr;
    FState->end = nullptr;
    FState->borrowers.clear();
    FState->source.reset();
}

TSource* TSourceOwner::Get() const {
    return FState->source.get();
}

TSourceLease TSourceOwner::Lease() {
    ++FState->transfers;
    return TSourceLease(FState, FState->source, 0);
}

TSourceLease TSourceOwner::Borrow(Step letGo) {
    const int id = FState->nextBorrower++;
    FState->borrowers.emplace(id, std::move(letGo));
    return TSourceLease(FState, FState->source, id);
}

bool TSourceOwner::Busy() const {
    return FState->transfers > 0;
}

bool TSourceOwner::EndRequested() const {
    return FState->endRequested;
}

void TSourceOwner::Replace(Step step) {
    if (FState->endRequested)
        return;
    FState->replace = std::move(step);
    RunHeldBack(*FState);
}

void TSourceOwner::Set(std::unique_ptr<TSource> source) {
    FState->source = std::move(source);
}

void TSourceOwner::End(Step step) {
    FState->endRequested = true;
    FState->end = std::move(step);
    RunHeldBack(*FState);
}

}  // namespace tunrax
