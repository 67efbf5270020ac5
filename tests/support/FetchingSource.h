// The local source without a background copy: every song is fetched when its
// turn comes, as before the prefetch (whose own tests are in Prefetch_test),
// so that the order of what a test sees does not hang on how fast a
// background thread is.
#pragma once

#include <memory>

#include "sources/LocalSource.h"

namespace tunrax::test {

class FetchingSource : public TLocalSource {
public:
    using TLocalSource::TLocalSource;
    std::unique_ptr<TSource> CloneForBackground() const override { return nullptr; }
};

}  // namespace tunrax::test
