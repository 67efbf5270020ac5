// Every node's folder path of a catalogue, in index order (pre-order for a
// parsed tree): what a test compares a catalogue by.
#pragma once

#include <string>
#include <vector>

#include "collection/Catalogue.h"

namespace tunrax::test {

inline std::vector<std::string> Paths(const TCatalogue& catalogue) {
    std::vector<std::string> paths;
    for (int32_t node = 0; node < catalogue.Count(); ++node)
        paths.push_back(NodePath(catalogue, node));
    return paths;
}

}  // namespace tunrax::test
