// Parses and interprets a large synthetic text-heavy content stream and
// reports the throughput in MB/s of content and glyphs/s.
#include <ctime>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "content.hpp"

namespace {

// Processor time of this process, so that other load on the machine counts less.
double now() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct FixedWidths final : inkra::GlyphWidths {
    double width(std::string_view, std::uint32_t code) const override { return 0.4 + (code % 7) * 0.05; }
};

// Lines of eight TJ pieces with kerning; with `two_byte`, Arabic-range codes
// in hex strings for a Type0 font, as Arabic PDFs mostly write them.
std::string make_content(std::size_t target_bytes, bool two_byte) {
    static const char* const words[] = {"Lorem", "ipsum", "dolor", "sit", "amet,", "consectetur", "adipiscing",
                                        "elit", "(nested)", "a\\)b", "\\050x\\051"};
    std::string s;
    s.reserve(target_bytes + 4096);
    unsigned line = 0;
    char buf[128];
    while (s.size() < target_bytes) {
        if (line % 40 == 0) s += "q 0.2 0.3 0.4 rg 1 0 0 1 0 0 cm /P <</MCID 1>> BDC\n";
        s += two_byte ? "BT /F0 12 Tf " : "BT /F1 12 Tf ";
        std::snprintf(buf, sizeof buf, "1 0 0 1 %u.5 %u.25 Tm ", 72 + line % 13, 800 - line % 700);
        s += buf;
        s += "[";
        for (unsigned w = 0; w < 8; ++w) {
            std::string text = words[(line + w * 3) % std::size(words)];
            text += ' ';
            text += words[(line * 7 + w) % std::size(words)];
            if (two_byte) {
                s += '<';
                for (char c : text) {
                    std::snprintf(buf, sizeof buf, "%04X", 0x0600u + static_cast<unsigned char>(c) % 0x80u);
                    s += buf;
                }
                s += '>';
            } else {
                s += '(' + text + ')';
            }
            std::snprintf(buf, sizeof buf, " -%u ", 120 + (line + w) % 200);
            s += buf;
        }
        s += "] TJ ET\n";
        if (line % 40 == 39) s += "EMC Q 10 10 m 500 10 l S\n";
        ++line;
    }
    return s;
}

bool measure(const char* label, const std::string& content, int rounds) {
    const std::vector<inkra::FontInfo> fonts = {{"F1", "TrueType", std::nullopt, std::nullopt},
                                                {"F0", "Type0", std::nullopt, std::nullopt}};
    const FixedWidths widths;

    const double size_mb = static_cast<double>(content.size()) / (1 << 20);
    auto report = [&](const char* what, double seconds, std::size_t glyphs) {
        std::printf("%-28s %.3f s, %7.1f MB/s, %6.1f M glyphs/s\n", what, seconds, size_mb / seconds,
                    static_cast<double>(glyphs) / seconds / 1e6);
    };

    // One call over the whole stream: bound by writing the glyph records
    // (about 100 bytes each) into fresh memory.
    double best = 1e30;
    std::size_t glyphs = 0;
    for (int r = 0; r < rounds; ++r) {
        double t0 = now();
        inkra::PageGlyphs out = inkra::interpret_with_forms(content, fonts, {}, widths);
        double t1 = now();
        glyphs = out.glyphs.size();
        best = std::min(best, t1 - t0);
    }
    std::printf("%s: %.1f MB, %zu glyphs\n", label, size_mb, glyphs);
    report("interpret, one stream:", best, glyphs);

    // The same bytes as pages of 64 KB, each interpreted and dropped in turn,
    // as the pipeline does.
    std::vector<std::string_view> pages;
    for (std::size_t at = 0; at < content.size();) {
        std::size_t end = std::min(content.size(), at + (64u << 10));
        while (end < content.size() && content[end - 1] != '\n') ++end;
        pages.push_back(std::string_view(content).substr(at, end - at));
        at = end;
    }
    best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        glyphs = 0;
        double t0 = now();
        for (std::string_view page : pages) glyphs += inkra::interpret_with_forms(page, fonts, {}, widths).glyphs.size();
        double t1 = now();
        best = std::min(best, t1 - t0);
    }
    report("interpret, 64 KB pages:", best, glyphs);

    // The lexer alone, for comparison.
    best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        double t0 = now();
        bool ok = inkra::content_is_well_formed(content);
        double t1 = now();
        if (!ok) return false;
        best = std::min(best, t1 - t0);
    }
    std::printf("%-28s %.3f s, %7.1f MB/s\n", "lex only:", best, size_mb / best);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    bool ok = measure("one-byte literal strings", make_content(mb << 20, false), rounds);
    ok = measure("two-byte hex strings", make_content(mb << 20, true), rounds) && ok;
    return ok ? 0 : 1;
}
