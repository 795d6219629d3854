#include "bidi.hpp"

#include <memory>

#include <unicode/ubidi.h>
#include <unicode/unistr.h>

namespace inkra {

namespace {

struct BidiCloser {
    void operator()(UBiDi* b) const { ubidi_close(b); }
};
using BidiPtr = std::unique_ptr<UBiDi, BidiCloser>;

}  // namespace

std::string visual_to_logical(std::string_view text, bool rtl) {
    if (text.empty()) return {};
    auto src = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    std::string fallback;
    src.toUTF8String(fallback);

    UErrorCode err = U_ZERO_ERROR;
    BidiPtr para(ubidi_open());
    BidiPtr line(ubidi_open());
    if (!para || !line) return fallback;
    ubidi_setPara(para.get(), src.getBuffer(), src.length(), rtl ? 1 : 0, nullptr, &err);
    if (U_FAILURE(err)) return fallback;

    // Reordering the whole text at once would move paragraphs across each
    // other; each paragraph is its own line.
    const std::int32_t count = ubidi_countParagraphs(para.get());
    icu::UnicodeString out;
    std::u16string buffer;
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t start = 0, limit = 0;
        ubidi_getParagraphByIndex(para.get(), i, &start, &limit, nullptr, &err);
        if (U_FAILURE(err)) return fallback;
        if (start >= limit) continue;
        ubidi_setLine(para.get(), start, limit, line.get(), &err);
        if (U_FAILURE(err)) return fallback;
        buffer.assign(static_cast<std::size_t>(limit - start), u'\0');
        std::int32_t written = ubidi_writeReordered(line.get(), buffer.data(), static_cast<std::int32_t>(buffer.size()), 0, &err);
        if (U_FAILURE(err)) return fallback;
        out.append(buffer.data(), 0, written);
    }
    std::string result;
    out.toUTF8String(result);
    return result;
}

}  // namespace inkra
