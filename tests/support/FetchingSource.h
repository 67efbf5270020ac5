// The local source without a background copy: every song is fetched when its
// turn comes, as before the prefetch (whose own tests are in Prefetch_test),
// so that the order of what a test sees does not hang on how fast a
// background thread is.
#pragma once

#include <memory>

#include "sources/FileTransfer.h"

namespace tunrax::test {

class FetchingSource : public TFileTransfer {
public:
    using TFileTransfer::TFileTransfer;
    std::unique_ptr<TCustomTransfer> CloneForBackground() const override { return nullptr; }
};

}  // namespace tunrax::test
