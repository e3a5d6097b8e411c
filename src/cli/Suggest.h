// "Did you mean ...": the known names nearest to a mistyped one, by edit distance (insertions,
// deletions, substitutions and swaps of neighbours), in any case.
#pragma once

#include <string>
#include <vector>

struct NearestNames {
    size_t nDistance = 0;
    std::vector<std::string> names; // every name at that distance, in the order given; empty: none near
};

// The names nearest to `typed`, if near enough to be a slip: at most a third of its length in edits
// (one at least).
NearestNames Nearest(const std::string& typed, const std::vector<std::string>& names);

// "; did you mean info?" (or "; did you mean out1, out2 or out3?"), in the messages' language;
// "" when no name is near.
std::string DidYouMean(const NearestNames& nearest);
std::string DidYouMean(const std::string& typed, const std::vector<std::string>& names);
