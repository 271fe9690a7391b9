#pragma once
// A kept log as months of runs leave it, for tests of large logs.

#include <cstddef>
#include <string>

namespace vtest {

// Count lines "<state> - <date> <time> #<number>", each ending in CR LF,
// about 60 bytes each.
std::string KeptLogOfLines(std::size_t Count);

// The number after the last '#' of a line made by KeptLogOfLines.
std::string LineNumber(const std::string& Line);

}  // namespace vtest
