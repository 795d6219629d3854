#include "type1.hpp"

#include <charconv>
#include <utility>
#include <vector>

namespace inkra::type1 {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\0'; }
bool is_delimiter(char c) {
    return is_space(c) || c == '/' || c == '[' || c == ']' || c == '{' || c == '}' || c == '(' || c == ')' ||
           c == '<' || c == '>' || c == '%';
}

// Whitespace-separated PostScript words of the clear-text part, names with
// their slash; comments skipped.
class Words {
public:
    explicit Words(std::string_view text) : s_(text) {}
    std::string_view next() {
        while (pos_ < s_.size()) {
            if (s_[pos_] == '%') {
                while (pos_ < s_.size() && s_[pos_] != '\n' && s_[pos_] != '\r') ++pos_;
            } else if (is_space(s_[pos_])) {
                ++pos_;
            } else {
                break;
            }
        }
        if (pos_ >= s_.size()) return {};
        std::size_t start = pos_++;
        if (!is_delimiter(s_[start]) || s_[start] == '/')
            while (pos_ < s_.size() && !is_delimiter(s_[pos_])) ++pos_;
        return s_.substr(start, pos_ - start);
    }

private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

}  // namespace

Encoding builtin_encoding(std::string_view program) {
    // The encoding sits in the clear text, before the encrypted part.
    if (auto eexec = program.find("eexec"); eexec != std::string_view::npos) program = program.substr(0, eexec);
    auto at = program.find("/Encoding");
    if (at == std::string_view::npos) return {};
    Words words(program.substr(at + 9));

    std::string_view first = words.next();
    if (first == "StandardEncoding") return Encoding::create("StandardEncoding", {});

    std::vector<std::pair<std::uint8_t, std::string>> pairs;
    // Entries run until the array is defined; a bounded walk keeps a damaged
    // program from being read to its end.
    std::string_view w = first;
    for (int budget = 0; budget < 4096 && !w.empty() && w != "def" && w != "readonly"; ++budget, w = words.next()) {
        if (w != "dup") continue;
        std::string_view code = words.next(), name = words.next(), put = words.next();
        unsigned value = 256;
        auto [ptr, ec] = std::from_chars(code.data(), code.data() + code.size(), value);
        if (ec != std::errc() || ptr != code.data() + code.size() || value > 255) continue;
        if (name.size() < 2 || name.front() != '/' || put != "put") continue;
        pairs.emplace_back(static_cast<std::uint8_t>(value), std::string(name.substr(1)));
    }
    return Encoding::create(std::nullopt, pairs);
}

}  // namespace inkra::type1
