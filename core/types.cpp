#include "types.hpp"

#include <cmath>

namespace inkra {

namespace {

std::uint8_t channel(float v) {
    v = std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f;
    float r = std::round(v);  // half away from zero
    return static_cast<std::uint8_t>(std::fmin(std::fmax(r, 0.0f), 255.0f));
}

int components(Color::Kind k) {
    switch (k) {
    case Color::Kind::Gray: return 1;
    case Color::Kind::Rgb: return 3;
    case Color::Kind::Cmyk: return 4;
    case Color::Kind::Unknown: return 0;
    }
    return 0;
}

}  // namespace

bool Color::operator==(const Color& o) const {
    if (kind != o.kind) return false;
    for (int i = 0; i < components(kind); ++i)
        if (c[i] != o.c[i]) return false;
    return true;
}

std::array<std::uint8_t, 3> Color::to_rgb8() const {
    switch (kind) {
    case Kind::Gray: {
        auto g = channel(c[0]);
        return {g, g, g};
    }
    case Kind::Rgb: return {channel(c[0]), channel(c[1]), channel(c[2])};
    case Kind::Cmyk: {
        float k = 1.0f - c[3];
        return {channel((1.0f - c[0]) * k), channel((1.0f - c[1]) * k), channel((1.0f - c[2]) * k)};
    }
    case Kind::Unknown: break;
    }
    return {0, 0, 0};
}

std::string Color::to_css_hex() const {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "#";
    for (auto v : to_rgb8()) {
        out += kHex[v >> 4];
        out += kHex[v & 15];
    }
    return out;
}

bool Style::merges_with(const Style& o) const {
    return color == o.color && font == o.font && render == o.render && std::fabs(size - o.size) < 0.01;
}

std::uint8_t rotation_of(double dx, double dy) {
    if (dx == 0 && dy == 0) return 0;
    double quarters = std::round(std::atan2(dy, dx) * 57.29577951308232 / 90.0);
    long q = static_cast<long>(quarters) % 4;
    return static_cast<std::uint8_t>(q < 0 ? q + 4 : q);
}

std::string utf8_lossy(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0, n = s.size();
    auto cont = [&](std::size_t j) { return j < n && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80; };
    while (i < n) {
        auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        if (b < 0x80) len = 1;
        else if (b >= 0xC2 && b <= 0xDF) len = 2;
        else if (b >= 0xE0 && b <= 0xEF) len = 3;
        else if (b >= 0xF0 && b <= 0xF4) len = 4;
        bool ok = len > 0;
        if (ok && len >= 2) {
            // Second byte ranges that rule out overlongs, surrogates and > U+10FFFF.
            auto b1 = static_cast<unsigned char>(i + 1 < n ? s[i + 1] : 0);
            unsigned lo = 0x80, hi = 0xBF;
            if (b == 0xE0) lo = 0xA0;
            else if (b == 0xED) hi = 0x9F;
            else if (b == 0xF0) lo = 0x90;
            else if (b == 0xF4) hi = 0x8F;
            ok = i + 1 < n && b1 >= lo && b1 <= hi;
            for (std::size_t j = 2; ok && j < len; ++j) ok = cont(i + j);
            if (!ok) {
                // Replace the maximal valid prefix as one U+FFFD.
                std::size_t j = i + 1;
                if (i + 1 < n && b1 >= lo && b1 <= hi) {
                    ++j;
                    while (j < i + len && cont(j)) ++j;
                }
                out += "\xEF\xBF\xBD";
                i = j;
                continue;
            }
        }
        if (!ok) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(s.substr(i, len));
        i += len;
    }
    return out;
}

}  // namespace inkra
