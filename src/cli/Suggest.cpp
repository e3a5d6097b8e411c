#include "cli/Suggest.h"

#include "cli/Language.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Optimal string alignment distance: a swap of two neighbours counts as one edit.
size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

constexpr size_t kMostNamed = 8;

} // namespace

NearestNames Nearest(const std::string& typed, const std::vector<std::string>& names) {
    const std::string wanted = Upper(typed);
    NearestNames nearest;
    nearest.nDistance = std::max<size_t>(1, wanted.size() / 3);
    for (const std::string& name : names) {
        const size_t d = Distance(wanted, Upper(name));
        if (d > nearest.nDistance)
            continue;
        if (d < nearest.nDistance || nearest.names.empty()) {
            nearest.names.clear();
            nearest.nDistance = d;
        }
        nearest.names.push_back(name);
    }
    return nearest;
}

std::string DidYouMean(const NearestNames& nearest) {
    const std::vector<std::string>& names = nearest.names;
    if (names.empty())
        return {};
    const size_t shown = std::min(names.size(), kMostNamed);
    std::string list;
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0)
            list += i + 1 == shown && shown == names.size() ? Say(" or ", " 或 ") : Say(", ", "、");
        list += names[i];
    }
    if (shown < names.size())
        list += Say(", ...", "……");
    return Say("; did you mean " + list + "?", "；是不是要输入 " + list + "？");
}

std::string DidYouMean(const std::string& typed, const std::vector<std::string>& names) {
    return DidYouMean(Nearest(typed, names));
}
