#include "base/words.h"

#include <algorithm>

namespace words {

namespace {

// Edits (a character inserted, removed, changed, or two swapped) from one word to another.
size_t distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

} // namespace

std::optional<std::string> nearest(const std::string& typed, const std::vector<std::string>& known) {
    std::optional<std::string> best;
    size_t bestDistance = std::clamp<size_t>(typed.size() / 3, 1, 2) + 1, bestEdits = 0;
    for (const std::string& w : known) {
        const bool begins =
            typed.size() >= 3 && w.size() > typed.size() && w.compare(0, typed.size(), typed) == 0;
        // A word the typed one begins counts as one edit away; of two such, the one fewer edits away wins.
        const size_t edits = distance(typed, w), d = begins ? 1 : edits;
        if (d < bestDistance || (best && d == bestDistance && edits < bestEdits))
            best = w, bestDistance = d, bestEdits = edits;
    }
    return best;
}

std::string listed(const std::vector<std::string>& words) {
    std::string out;
    for (size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return out;
}

std::string wrapped(const std::string& text, size_t column, size_t indent, size_t width) {
    std::string out;
    size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        const size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        if (!first && column + 1 + word.size() > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (!first) {
            out += " ";
            ++column;
        }
        out += word;
        column += word.size();
        first = false;
    }
    return out;
}

} // namespace words
