#pragma once
// Resources for a site that has none yet: a hand-written demo set, and generated ones for load tests.

#include <cstdint>
#include <vector>

#include "server/store.hpp"

namespace quorvelv {

// About 45 varied resources (Chinese names, sizes, passwords, https links on example domains), dated over the
// weeks before `now`, oldest first.
std::vector<new_resource> demo_resources(std::int64_t now);

// `count` resources with numbered names, for filling a database to measure it.
std::vector<new_resource> generated_resources(std::int64_t count, std::int64_t now);

}  // namespace quorvelv
