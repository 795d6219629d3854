#include "unicode.hpp"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace inkra {

std::u32string to_code_points(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    const auto n = static_cast<std::int32_t>(s.size());
    std::int32_t i = 0;
    while (i < n) {
        UChar32 c;
        U8_NEXT_OR_FFFD(p, i, n, c);
        out.push_back(static_cast<char32_t>(c));
    }
    return out;
}

void append_utf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string to_utf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char32_t c : text) append_utf8(out, c);
    return out;
}

namespace {

// ICU hands out process-wide immutable instances; getting them is thread-safe.
const icu::Normalizer2* nfkc_instance() {
    UErrorCode err = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFKCInstance(err);
    return U_SUCCESS(err) ? n : nullptr;
}

const icu::Normalizer2* nfd_instance() {
    UErrorCode err = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFDInstance(err);
    return U_SUCCESS(err) ? n : nullptr;
}

}  // namespace

std::string nfkc(std::string_view text) {
    const icu::Normalizer2* n = nfkc_instance();
    if (!n || text.empty()) return std::string(text);
    UErrorCode err = U_ZERO_ERROR;
    auto src = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    icu::UnicodeString dst = n->normalize(src, err);
    if (U_FAILURE(err)) return std::string(text);
    std::string out;
    dst.toUTF8String(out);
    return out;
}

std::u32string nfd(char32_t c) {
    const icu::Normalizer2* n = nfd_instance();
    icu::UnicodeString d;
    if (!n || !n->getDecomposition(static_cast<UChar32>(c), d)) return std::u32string(1, c);
    std::u32string out;
    for (std::int32_t i = 0; i < d.length();) {
        UChar32 cp = d.char32At(i);
        out.push_back(static_cast<char32_t>(cp));
        i += U16_LENGTH(cp);
    }
    return out;
}

bool is_white_space(char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)); }
bool is_alphabetic(char32_t c) { return u_isUAlphabetic(static_cast<UChar32>(c)); }

}  // namespace inkra
