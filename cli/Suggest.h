#pragma once
// Near matches for a mistyped word ("возможно, имелся в виду ..."), and user text cut to a
// printable length for error messages.
//
// Pure, any thread.
#include <string>
#include <string_view>
#include <vector>

#include "params/ParamTree.h"

namespace lum::cli {

// The candidates nearest to `word` (edit distance over letters, case ignored for Latin and
// Cyrillic), closest first, at most `limit`; none that is too far to be a typo.
std::vector<std::string> NearMatches(std::string_view word, const std::vector<std::string>& candidates,
                                     std::size_t limit = 5);
// The parameter paths nearest to `name`, comparing it with each whole path and with each
// final name.
std::vector<std::string> NearParameterPaths(const IParamTree& tree, std::string_view name);

// `text` as an error message may quote it: control bytes as <0A>, and cut after 60 letters
// ("…" marks the cut).
std::string ShortToken(std::string_view text);
// A message with each «quoted» part shortened as ShortToken does.
std::string ShortQuoted(std::string_view message);

}  // namespace lum::cli
