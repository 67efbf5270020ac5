// The owner of the current source without a window: the held-back steps run
// from a queue that the test drains as an event loop would.
#include "sources/SourceOwner.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "io/Error.h"
#include "sources/Source.h"

using namespace tunrax;

namespace {

// A source that knows its name and says when it is freed.
class NamedSource : public TSource {
public:
    NamedSource(std::string name, std::vector<std::string>& freed)
        : TSource(false), Name(std::move(name)), FFreed(freed) {}
    ~NamedSource() override { FFreed.push_back(Name); }
    void GetFile(std::ostream&, const std::string&) override {}
    void ListFiles(std::vector<std::string>&, const std::string&) override {}
    const std::string Name;

private:
    std::vector<std::string>& FFreed;
};

class SourceOwnerTest : public ::testing::Test {
protected:
    std::unique_ptr<TSource> Make(const std::string& name) {
        return std::make_unique<NamedSource>(name, freed);
    }
    static std::string NameOf(const TSource* source) {
        return source ? static_cast<const NamedSource*>(source)->Name : "(keine)";
    }
    // Runs what was posted, as the event loop does once the caller returned.
    void Drain() {
        while (!queue.empty()) {
            auto step = std::move(queue.front());
            queue.erase(queue.begin());
            step();
        }
    }

    std::vector<std::string> freed;
    std::vector<std::function<void()>> queue;
    std::vector<std::string> log;
    TSourceOwner owner{[this](TSourceOwner::Step step) { queue.push_back(std::move(step)); }};
};

}  // namespace

TEST_F(SourceOwnerTest, ReplacingWaitsForTheLastLease) {
    // Free: the step runs at once, and what it throws reaches the caller.
    owner.Replace([&] { owner.Set(Make("alt")); });
    EXPECT_EQ(NameOf(owner.Get()), "alt");
    EXPECT_THROW(owner.Replace([] { throw Error("kaputt"); }), Error);
    EXPECT_FALSE(owner.Busy());

    {
        TSourceLease outer = owner.Lease();
        EXPECT_TRUE(owner.Busy());
        {
            TSourceLease inner = owner.Lease();
            owner.Replace([&] { log.push_back("erste"); });
            owner.Replace([&] {
                log.push_back("zweite");
                owner.Set(Make("neu"));
            });
        }
        EXPECT_TRUE(owner.Busy()) << "the outer transfer is still under way";
        EXPECT_TRUE(queue.empty()) << "posted before the last lease ended";
        EXPECT_EQ(NameOf(outer.Get()), "alt");
    }
    EXPECT_FALSE(owner.Busy());
    EXPECT_EQ(log, std::vector<std::string>{}) << "run inside the lease's end";
    EXPECT_EQ(NameOf(owner.Get()), "alt");
    Drain();
    EXPECT_EQ(log, std::vector<std::string>{"zweite"}) << "only the last request runs, once";
    EXPECT_EQ(NameOf(owner.Get()), "neu");
    EXPECT_EQ(freed, std::vector<std::string>{"alt"});

    // A lease taken before a replacement keeps its source alive and whole.
    TSourceLease kept = owner.Lease();
    owner.Set(Make("danach"));
    EXPECT_EQ(NameOf(kept.Get()), "neu");
    EXPECT_EQ(freed, std::vector<std::string>{"alt"});
    TSourceLease moved = std::move(kept);
    EXPECT_FALSE(kept);
    EXPECT_TRUE(owner.Busy());
    moved.End();
    EXPECT_FALSE(owner.Busy()) << "a moved lease counts once";
    EXPECT_EQ(freed, (std::vector<std::string>{"alt", "neu"}));
}

TEST_F(SourceOwnerTest, EndingWaitsForTransfersThenAsksBorrowersToLetGo) {
    owner.Set(Make("quelle"));
    std::unique_ptr<TSourceLease> wizard;
    int askedToLetGo = 0;
    wizard = std::make_unique<TSourceLease>(owner.Borrow([&] { ++askedToLetGo; }));
    EXPECT_FALSE(owner.Busy()) << "a borrower between its transfers";
    EXPECT_EQ(NameOf(wizard->Get()), "quelle");

    // A replacement waits for the borrower without asking it to go.
    owner.Replace([&] { log.push_back("ersetzt"); });
    EXPECT_EQ(askedToLetGo, 0);
    EXPECT_EQ(log, std::vector<std::string>{});

    {
        // The end arrives during one of the borrower's transfers.
        TSourceLease transfer = owner.Lease();
        owner.End([&] { log.push_back("ende"); });
        EXPECT_TRUE(owner.EndRequested());
        EXPECT_EQ(askedToLetGo, 0) << "asked in the middle of a transfer";
    }
    Drain();
    EXPECT_EQ(askedToLetGo, 1) << "not asked once the transfer was done";
    EXPECT_EQ(log, std::vector<std::string>{});

    // Another end request asks again; a replacement is no longer taken.
    owner.End([&] { log.push_back("ende"); });
    EXPECT_EQ(askedToLetGo, 2);
    owner.Replace([&] { log.push_back("zu spät"); });
    wizard.reset();
    EXPECT_EQ(log, std::vector<std::string>{}) << "ran inside the borrower's end";
    Drain();
    EXPECT_EQ(log, std::vector<std::string>{"ende"}) << "the held-back replacement is dropped";

    // Free from the start: the end runs at once.
    TSourceOwner free{[this](TSourceOwner::Step step) { queue.push_back(std::move(step)); }};
    bool ended = false;
    free.End([&] { ended = true; });
    EXPECT_TRUE(ended);
    EXPECT_TRUE(queue.empty());
}

TEST_F(SourceOwnerTest, LeasesMayOutliveTheirOwner) {
    auto temporary = std::make_unique<TSourceOwner>(
        [this](TSourceOwner::Step step) { queue.push_back(std::move(step)); });
    temporary->Set(Make("kurz"));
    TSourceLease lease = temporary->Lease();
    temporary->Replace([&] { log.push_back("nie"); });
    temporary.reset();
    EXPECT_EQ(freed, std::vector<std::string>{}) << "freed under a lease";
    EXPECT_EQ(NameOf(lease.Get()), "kurz");
    lease.End();
    Drain();
    EXPECT_EQ(log, std::vector<std::string>{});
    EXPECT_EQ(freed, std::vector<std::string>{"kurz"});
}
