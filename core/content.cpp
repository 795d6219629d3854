#include "content.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "graphics.hpp"
#include "unicode.hpp"

namespace inkra {

// ---- Lexer ----

namespace {

constexpr std::uint8_t kSpace = 1, kDelim = 2;

constexpr std::array<std::uint8_t, 256> make_classes() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned char c : {0, 9, 10, 12, 13, 32}) t[c] = kSpace;
    for (unsigned char c : std::string_view("()<>[]{}/%")) t[c] = kDelim;
    return t;
}
constexpr auto kClass = make_classes();

// The bytes a literal string's scan must stop at.
constexpr std::array<bool, 256> make_string_specials() {
    std::array<bool, 256> t{};
    for (unsigned char c : std::string_view("()\\\r")) t[c] = true;
    return t;
}
constexpr auto kStringSpecial = make_string_specials();

inline bool is_space(char c) { return kClass[static_cast<unsigned char>(c)] == kSpace; }
inline bool is_regular(char c) { return kClass[static_cast<unsigned char>(c)] == 0; }

inline int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr std::array<double, 19> kPow10{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                        1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

// Numbers in every PDF form: optional sign, digits with at most one point,
// at least one digit (`-.5`, `+3`, `4.`). Exponents are not PDF syntax.
bool parse_number(std::string_view t, double& value, bool& integer) {
    std::size_t i = 0, n = t.size();
    bool negative = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    bool point = false, any_digit = false, long_form = false;
    for (; i < n; ++i) {
        char c = t[i];
        if (c >= '0' && c <= '9') {
            any_digit = true;
            if (point) ++fraction;
            if (mantissa != 0 || c != '0') ++digits;
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            if (digits > 15 || fraction > 18) long_form = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (!any_digit) return false;
    integer = !point;
    if (long_form) {
        // Too many digits for the exact path: let the library round it.
        std::string_view body = t.substr(t[0] == '+' || t[0] == '-' ? 1 : 0);
        double v = 0;
        auto r = std::from_chars(body.data(), body.data() + body.size(), v);
        if (r.ec != std::errc() && r.ec != std::errc::result_out_of_range) return false;
        value = negative ? -v : v;
        return true;
    }
    // Exact for up to 15 digits: both operands are exact doubles, so the one
    // division rounds correctly. Integers skip the slow division.
    double v = static_cast<double>(mantissa);
    if (fraction) v /= kPow10[static_cast<std::size_t>(fraction)];
    value = negative ? -v : v;
    return true;
}

}  // namespace

bool ContentReader::fail() {
    failed_ = true;
    pos_ = s_.size();
    return false;
}

// The data after ID runs to the first EI that stands as a word of its own:
// whitespace before it, whitespace, a delimiter or the end after it.
bool ContentReader::skip_inline_image() {
    std::size_t start = pos_;
    if (start < s_.size() && is_space(s_[start])) ++start;
    std::size_t p = start;
    while (true) {
        p = s_.find("EI", p);
        if (p == std::string_view::npos) return false;
        bool before = p > 0 && is_space(s_[p - 1]);
        bool after = p + 2 == s_.size() || !is_regular(s_[p + 2]);
        if (before && after) break;
        ++p;
    }
    pos_ = p + 2;
    return true;
}

bool ContentReader::next(Operation& out) {
    if (failed_) return false;
    work_.clear();
    elements_.clear();
    open_.clear();
    const std::size_t n = s_.size();
    const char* d = s_.data();

    auto close = [&](Operand::Kind kind) {
        if (open_.empty() || open_.back().kind != kind) return false;
        std::size_t base = open_.back().base;
        open_.pop_back();
        Operand c;
        c.kind = kind;
        c.first = static_cast<std::uint32_t>(elements_.size());
        c.count = static_cast<std::uint32_t>(work_.size() - base);
        elements_.insert(elements_.end(), work_.begin() + static_cast<std::ptrdiff_t>(base), work_.end());
        work_.resize(base);
        work_.push_back(c);
        return true;
    };

    while (true) {
        while (pos_ < n) {
            char c = d[pos_];
            if (is_space(c)) {
                ++pos_;
            } else if (c == '%') {
                while (pos_ < n && d[pos_] != '\n' && d[pos_] != '\r') ++pos_;
            } else {
                break;
            }
        }
        if (pos_ >= n) {
            if (!open_.empty() || in_inline_image_) return fail();
            return false;
        }
        const std::size_t start = pos_;
        const char c = d[pos_];
        switch (c) {
        case '(': {
            int depth = 1;
            bool escaped = false;
            std::size_t p = pos_ + 1;
            while (p < n) {
                char ch = d[p];
                if (!kStringSpecial[static_cast<unsigned char>(ch)]) {
                    ++p;
                    continue;
                }
                if (ch == '\\') {
                    escaped = true;
                    p += 2;
                    continue;
                }
                if (ch == '(') {
                    ++depth;
                } else if (ch == ')') {
                    if (--depth == 0) break;
                } else if (ch == '\r') {
                    escaped = true;
                }
                ++p;
            }
            if (p >= n) return fail();
            Operand o;
            o.kind = Operand::Kind::String;
            o.escaped = escaped;
            o.raw = s_.substr(start + 1, p - start - 1);
            work_.push_back(o);
            pos_ = p + 1;
            break;
        }
        case '<': {
            if (pos_ + 1 < n && d[pos_ + 1] == '<') {
                open_.push_back({Operand::Kind::Dict, work_.size()});
                pos_ += 2;
                break;
            }
            std::size_t p = pos_ + 1;
            while (p < n && d[p] != '>') {
                if (hex_value(d[p]) < 0 && !is_space(d[p])) return fail();
                ++p;
            }
            if (p >= n) return fail();
            Operand o;
            o.kind = Operand::Kind::HexString;
            o.raw = s_.substr(start + 1, p - start - 1);
            work_.push_back(o);
            pos_ = p + 1;
            break;
        }
        case '>':
            if (pos_ + 1 < n && d[pos_ + 1] == '>' && close(Operand::Kind::Dict)) {
                pos_ += 2;
                break;
            }
            return fail();
        case '[':
            open_.push_back({Operand::Kind::Array, work_.size()});
            ++pos_;
            break;
        case ']':
            if (!close(Operand::Kind::Array)) return fail();
            ++pos_;
            break;
        case '/': {
            std::size_t p = pos_ + 1;
            bool escaped = false;
            while (p < n && is_regular(d[p])) {
                escaped |= d[p] == '#';
                ++p;
            }
            Operand o;
            o.kind = Operand::Kind::Name;
            o.escaped = escaped;
            o.raw = s_.substr(start + 1, p - start - 1);
            work_.push_back(o);
            pos_ = p;
            break;
        }
        case '{':
        case '}':
        case ')':
            // Not content syntax: a one-character word, which matches no
            // operator and is ignored.
            ++pos_;
            if (!open_.empty()) {
                Operand o;
                o.kind = Operand::Kind::Keyword;
                o.raw = s_.substr(start, 1);
                work_.push_back(o);
                break;
            }
            if (in_inline_image_) break;
            out.op = s_.substr(start, 1);
            out.operands = work_;
            out.elements = elements_;
            return true;
        default: {
            std::size_t p = pos_;
            while (p < n && is_regular(d[p])) ++p;
            pos_ = p;
            std::string_view word = s_.substr(start, p - start);
            Operand o;
            char f = word[0];
            if (((f >= '0' && f <= '9') || f == '-' || f == '+' || f == '.') &&
                parse_number(word, o.number, o.integer)) {
                o.kind = Operand::Kind::Number;
            } else if (word == "true" || word == "false") {
                o.kind = Operand::Kind::Bool;
                o.integer = word == "true";
            } else if (word == "null") {
                o.kind = Operand::Kind::Null;
            } else if (!open_.empty()) {
                // A word inside a container: an indirect reference when it is
                // R after two integers of the same container, else a keyword.
                std::size_t base = open_.back().base;
                if (word == "R" && work_.size() >= base + 2 && work_[work_.size() - 1].kind == Operand::Kind::Number &&
                    work_[work_.size() - 1].integer && work_[work_.size() - 2].kind == Operand::Kind::Number &&
                    work_[work_.size() - 2].integer) {
                    work_.pop_back();
                    work_.back().kind = Operand::Kind::Ref;
                    break;
                }
                o.kind = Operand::Kind::Keyword;
                o.raw = word;
            } else if (in_inline_image_) {
                if (word == "ID") {
                    if (!skip_inline_image()) return fail();
                    in_inline_image_ = false;
                    work_.clear();
                    elements_.clear();
                }
                break;
            } else if (word == "BI") {
                in_inline_image_ = true;
                work_.clear();
                elements_.clear();
                break;
            } else {
                out.op = word;
                out.operands = work_;
                out.elements = elements_;
                return true;
            }
            work_.push_back(o);
            break;
        }
        }
    }
}

namespace {

// Operators are at most three bytes; packed into one word they switch fast
// while matching the exact text.
constexpr std::uint32_t key(std::string_view op) {
    if (op.empty() || op.size() > 3) return 0;
    std::uint32_t k = 0;
    for (std::size_t i = 0; i < op.size(); ++i) k |= static_cast<std::uint32_t>(static_cast<unsigned char>(op[i])) << (8 * i);
    return k;
}


// Lexes the whole content once. On success gives an upper bound on the glyphs
// it shows (the bytes of its text-showing operands), so that the glyph list
// can grow once; nothing on a syntax error.
std::optional<std::size_t> scan_content(std::string_view content) {
    ContentReader reader(content);
    Operation op;
    std::size_t bound = 0;
    auto bytes = [](const Operand& o) -> std::size_t {
        if (o.kind == Operand::Kind::String) return o.raw.size();
        if (o.kind == Operand::Kind::HexString) return (o.raw.size() + 1) / 2;
        return 0;
    };
    while (reader.next(op)) {
        switch (key(op.op)) {
        case key("Tj"):
        case key("'"):
        case key("\""):
            for (const Operand& o : op.operands) bound += bytes(o);
            break;
        case key("TJ"):
            for (const Operand& o : op.elements) bound += bytes(o);
            break;
        default: break;
        }
    }
    if (reader.failed()) return std::nullopt;
    return bound;
}

}  // namespace

bool content_is_well_formed(std::string_view content) { return scan_content(content).has_value(); }

std::string_view operand_bytes(const Operand& o, std::string& scratch) {
    if (o.kind == Operand::Kind::String) {
        if (!o.escaped) return o.raw;
        scratch.clear();
        const std::string_view r = o.raw;
        for (std::size_t i = 0; i < r.size(); ++i) {
            char c = r[i];
            if (c == '\r') {
                // An unescaped end of line is a line feed, whatever its form.
                scratch += '\n';
                if (i + 1 < r.size() && r[i + 1] == '\n') ++i;
                continue;
            }
            if (c != '\\') {
                scratch += c;
                continue;
            }
            if (++i >= r.size()) break;
            char e = r[i];
            switch (e) {
            case 'n': scratch += '\n'; break;
            case 'r': scratch += '\r'; break;
            case 't': scratch += '\t'; break;
            case 'b': scratch += '\b'; break;
            case 'f': scratch += '\f'; break;
            case '\r':  // a line continuation
                if (i + 1 < r.size() && r[i + 1] == '\n') ++i;
                break;
            case '\n': break;
            default:
                if (e >= '0' && e <= '7') {
                    unsigned v = static_cast<unsigned>(e - '0');
                    for (int k = 0; k < 2 && i + 1 < r.size() && r[i + 1] >= '0' && r[i + 1] <= '7'; ++k)
                        v = v * 8 + static_cast<unsigned>(r[++i] - '0');
                    scratch += static_cast<char>(v & 0xFF);
                } else {
                    scratch += e;  // \( \) \\ and any other escaped byte stand for themselves
                }
            }
        }
        return scratch;
    }
    if (o.kind == Operand::Kind::HexString) {
        scratch.clear();
        int high = -1;
        for (char c : o.raw) {
            int v = hex_value(c);
            if (v < 0) continue;
            if (high < 0) {
                high = v;
            } else {
                scratch += static_cast<char>(high * 16 + v);
                high = -1;
            }
        }
        if (high >= 0) scratch += static_cast<char>(high * 16);  // an odd final digit is followed by 0
        return scratch;
    }
    return {};
}

std::string_view name_bytes(const Operand& o, std::string& scratch) {
    if (o.kind != Operand::Kind::Name) return {};
    if (!o.escaped) return o.raw;
    scratch.clear();
    const std::string_view r = o.raw;
    for (std::size_t i = 0; i < r.size(); ++i) {
        int h, l;
        if (r[i] == '#' && i + 2 < r.size() && (h = hex_value(r[i + 1])) >= 0 && (l = hex_value(r[i + 2])) >= 0) {
            scratch += static_cast<char>(h * 16 + l);
            i += 2;
        } else {
            scratch += r[i];
        }
    }
    return scratch;
}

// ---- PDF text strings ----

namespace {

}  // namespace

std::string pdf_text_string(std::string_view b) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(b[i]); };
    std::string out;
    if (b.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        std::size_t units = (b.size() - 2) / 2;  // an odd final byte is dropped
        out.reserve(units * 3);
        for (std::size_t k = 0; k < units; ++k) {
            std::uint32_t u = byte(2 + 2 * k) << 8 | byte(3 + 2 * k);
            if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
                std::uint32_t v = byte(4 + 2 * k) << 8 | byte(5 + 2 * k);
                if (v >= 0xDC00 && v <= 0xDFFF) {
                    append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                    ++k;
                    continue;
                }
            }
            append_utf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
        }
        return out;
    }
    if (b.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return utf8_lossy(b.substr(3));
    out.reserve(b.size());
    for (std::size_t i = 0; i < b.size(); ++i) append_utf8(out, byte(i));
    return out;
}

// ---- Interpreter ----

namespace {

// A name operand's text: its bytes as UTF-8, invalid sequences replaced.
void assign_name_text(std::string& out, std::string_view bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            out = utf8_lossy(bytes);
            return;
        }
    out.assign(bytes);
}

struct MarkedSection {
    std::optional<std::string> actual_text;
    std::optional<std::uint32_t> mcid;
    std::size_t start = 0;
};

constexpr std::size_t kMaxMarkedSections = 64;
constexpr std::size_t kMaxFormDepth = 8;

struct Interpreter {
    std::span<const FontInfo> fonts;
    std::span<const RawForm> forms;
    const GlyphWidths& widths;

    GraphicsState gs;
    GraphicsStack stack;
    Matrix text_matrix = kIdentity;
    Matrix line_matrix = kIdentity;
    std::vector<std::string> form_path;
    PathState path;
    std::vector<MarkedSection> marked;
    PageGlyphs out;

    // Reused buffers, so that running an operator allocates nothing.
    std::vector<double> nums;
    std::string scratch;
    std::string name_scratch;
    std::string name_text;
    // Per form, once known: whether it lexes cleanly, and its glyph bound.
    std::vector<std::optional<std::optional<std::size_t>>> form_scan;
    // Whether the current font is Type0, remembered for the last font name.
    std::string type0_font;
    bool type0 = false;
    bool type0_known = false;
    // What show derived for the glyphs of the current string; the first
    // three from the matrices, size and scaling kept in placement_inputs.
    struct Placement {
        double size = 0, axis = 0;
        std::uint8_t rotation = 0;
        Color color;
    } placement;
    std::array<double, 10> placement_inputs{};
    bool placement_known = false;

    Interpreter(std::span<const FontInfo> f, std::span<const RawForm> fm, const GlyphWidths& w)
        : fonts(f), forms(fm), widths(w), form_scan(fm.size()) {}

    bool run_content(std::string_view content);
    std::size_t operations_left = kMaxPageOperations;
    void run(const Operation& op);
    void show(std::string_view bytes);
    void emit(std::uint32_t code, bool is_space);
    void next_line(double tx, double ty);
    void qualify(std::string_view name, std::string& out) const;
    void enter_form(const std::string& name);
    void open_section(MarkedSection section);
    void close_section();
    void bdc(const Operation& op);
    bool is_type0();
    bool name_of(const Operand& o, std::string& out);
    // Room for `more` glyphs, growing geometrically so that a form drawn
    // many times does not reallocate each time.
    void reserve_glyphs(std::size_t more) {
        std::vector<Glyph>& g = out.glyphs;
        const std::size_t want = std::min(g.size() + more, kMaxPageGlyphs);
        if (want > g.capacity()) g.reserve(std::min(std::max(want, 2 * g.capacity()), kMaxPageGlyphs));
    }
    void move_text(double tx) {
        text_matrix[4] += tx * text_matrix[0];
        text_matrix[5] += tx * text_matrix[1];
    }
};

// Runs every operation; false, leaving whatever ran so far, on a syntax error.
bool Interpreter::run_content(std::string_view content) {
    ContentReader reader(content);
    Operation op;
    while (reader.next(op)) {
        if (operations_left == 0) {
            out.cut_short = true;
            break;
        }
        --operations_left;
        run(op);
    }
    return !reader.failed();
}

bool Interpreter::name_of(const Operand& o, std::string& out) {
    if (o.kind != Operand::Kind::Name) return false;
    assign_name_text(out, name_bytes(o, name_scratch));
    return true;
}

void Interpreter::qualify(std::string_view name, std::string& out) const {
    out.clear();
    for (const std::string& f : form_path) {
        out += f;
        out += '/';
    }
    out += name;
}

bool Interpreter::is_type0() {
    if (!type0_known || type0_font != gs.font) {
        type0 = false;
        for (const FontInfo& f : fonts)
            if (f.name == gs.font) {
                type0 = f.subtype == "Type0";
                break;
            }
        type0_font = gs.font;
        type0_known = true;
    }
    return type0;
}

void Interpreter::next_line(double tx, double ty) {
    Matrix& m = line_matrix;
    m[4] = tx * m[0] + ty * m[2] + m[4];
    m[5] = tx * m[1] + ty * m[3] + m[5];
    text_matrix = line_matrix;
}

void Interpreter::show(std::string_view bytes) {
    // Within one string only the text matrix's translation changes, so the
    // size, the axis length and the rotation hold for all its glyphs; they
    // are recomputed only when the matrices, size or scaling have changed.
    const Matrix& tm = text_matrix;
    const Matrix& ctm = gs.ctm;
    const double tfs = gs.font_size, th = gs.horizontal_scale;
    const std::array<double, 10> inputs{tm[0], tm[1], tm[2], tm[3], ctm[0], ctm[1], ctm[2], ctm[3], tfs, th};
    if (!placement_known || inputs != placement_inputs) {
        Point up = apply_linear(ctm, {tfs * tm[2], tfs * tm[3]});
        placement.size = std::hypot(up.x, up.y);
        Point axis_v = apply_linear(ctm, {tm[0], tm[1]});
        placement.axis = std::hypot(axis_v.x, axis_v.y);
        Point dir = apply_linear(ctm, {tfs * th * tm[0], tfs * th * tm[1]});
        // Matrices that overflow can leave no direction at all (inf × 0).
        placement.rotation = std::isnan(dir.x) || std::isnan(dir.y) ? 0 : rotation_of(dir.x, dir.y);
        placement_inputs = inputs;
        placement_known = true;
    }
    const bool stroked = gs.render == TextRender::Stroke || gs.render == TextRender::StrokeClip;
    placement.color = stroked ? gs.stroke_color : gs.fill_color;

    if (is_type0()) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            auto code = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 8 |
                        static_cast<unsigned char>(bytes[i + 1]);
            emit(code, false);
        }
    } else {
        for (char b : bytes) emit(static_cast<unsigned char>(b), b == ' ');
    }
}

void Interpreter::emit(std::uint32_t code, bool is_space) {
    const double w = widths.width(gs.font, code);
    const double tfs = gs.font_size, th = gs.horizontal_scale;
    const Matrix& tm = text_matrix;
    if (out.glyphs.size() >= kMaxPageGlyphs) {
        out.truncated = true;
        return;
    }
    Point origin = apply(gs.ctm, {gs.rise * tm[2] + tm[4], gs.rise * tm[3] + tm[5]});
    // Built in place, field by field, without zeroing the record first.
    out.glyphs.emplace_back(gs.font, placement.size, placement.color, gs.render, origin.x, origin.y,
                            placement.axis * std::abs(std::max(w, 0.0) * tfs * th), code, placement.rotation);
    move_text((w * tfs + gs.char_spacing + (is_space ? gs.word_spacing : 0)) * th);
}

void Interpreter::open_section(MarkedSection section) {
    if (marked.size() >= kMaxMarkedSections) return;
    section.start = out.glyphs.size();
    marked.push_back(std::move(section));
}

void Interpreter::close_section() {
    if (marked.empty()) return;
    MarkedSection s = std::move(marked.back());
    marked.pop_back();
    const std::size_t end = out.glyphs.size();
    if (s.start >= end) return;
    if (s.actual_text) out.actual_texts.push_back({std::move(*s.actual_text), s.start, end});
    if (s.mcid) out.mcid_spans.push_back({s.start, end, *s.mcid});
}

void Interpreter::bdc(const Operation& op) {
    MarkedSection section;
    if (op.operands.size() >= 2 && op.operands[1].kind == Operand::Kind::Dict) {
        auto entries = op.children(op.operands[1]);
        for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
            const Operand& k = entries[i];
            const Operand& v = entries[i + 1];
            if (k.kind != Operand::Kind::Name) continue;
            std::string_view key_name = name_bytes(k, name_scratch);
            if (key_name == "MCID") {
                if (v.kind == Operand::Kind::Number && v.integer && v.number >= 0 && v.number <= 4294967295.0)
                    section.mcid = static_cast<std::uint32_t>(v.number);
                else
                    section.mcid.reset();
            } else if (key_name == "ActualText") {
                if (v.kind == Operand::Kind::String || v.kind == Operand::Kind::HexString)
                    section.actual_text = pdf_text_string(operand_bytes(v, scratch));
                else
                    section.actual_text.reset();
            }
        }
    }
    open_section(std::move(section));
}

void Interpreter::enter_form(const std::string& name) {
    if (form_path.size() >= kMaxFormDepth) return;
    std::size_t index = 0;
    while (index < forms.size() && forms[index].name != name) ++index;
    if (index == forms.size()) return;
    const RawForm& form = forms[index];
    // A form that does not lex runs nothing, so it is checked before it runs;
    // forms drawn many times are checked once.
    if (!form_scan[index]) form_scan[index] = scan_content(form.content);
    const std::optional<std::size_t> bound = *form_scan[index];
    if (bound) reserve_glyphs(*bound);

    const Matrix ctm = multiply(form.matrix, gs.ctm);
    stack.save(gs);
    gs.ctm = ctm;
    const Matrix saved_text = text_matrix, saved_line = line_matrix;
    text_matrix = line_matrix = kIdentity;
    std::size_t slash = name.rfind('/');
    form_path.push_back(slash == std::string::npos ? name : name.substr(slash + 1));
    if (bound) run_content(form.content);
    form_path.pop_back();
    text_matrix = saved_text;
    line_matrix = saved_line;
    stack.restore(gs);
}

void Interpreter::run(const Operation& op) {
    nums.clear();
    for (const Operand& o : op.operands)
        if (o.kind == Operand::Kind::Number) nums.push_back(o.number);
    const std::size_t count = nums.size();
    const Operand* first = op.operands.empty() ? nullptr : &op.operands[0];
    auto first_number = [&](double fallback) { return count ? nums[0] : fallback; };
    auto set_color = [&](Color& color, std::size_t needed, ColorSpaceKind space) {
        if (space == ColorSpaceKind::Other || count != needed) {
            color = Color::unknown();
            return;
        }
        auto f = [&](std::size_t i) { return static_cast<float>(nums[i]); };
        switch (space) {
        case ColorSpaceKind::Gray: color = Color::gray(f(0)); break;
        case ColorSpaceKind::Rgb: color = Color::rgb(f(0), f(1), f(2)); break;
        default: color = Color::cmyk(f(0), f(1), f(2), f(3)); break;
        }
    };
    auto components = [](ColorSpaceKind space) -> std::size_t {
        switch (space) {
        case ColorSpaceKind::Gray: return 1;
        case ColorSpaceKind::Rgb: return 3;
        case ColorSpaceKind::Cmyk: return 4;
        default: return 0;
        }
    };
    auto show_operand = [&](const Operand* o) {
        if (o && (o->kind == Operand::Kind::String || o->kind == Operand::Kind::HexString))
            show(operand_bytes(*o, scratch));
    };
    auto point = [&](std::size_t i) { return apply(gs.ctm, {nums[i], nums[i + 1]}); };
    using Kind = PathSegment::Kind;

    switch (key(op.op)) {
    case key("q"): stack.save(gs); break;
    case key("Q"): stack.restore(gs); break;
    case key("cm"):
        if (count == 6) gs.ctm = multiply({nums[0], nums[1], nums[2], nums[3], nums[4], nums[5]}, gs.ctm);
        break;
    case key("BT"): text_matrix = line_matrix = kIdentity; break;
    case key("Tf"):
        if (first && name_of(*first, name_text)) qualify(name_text, gs.font);
        if (count >= 1) gs.font_size = nums[0];
        break;
    case key("Tc"): gs.char_spacing = first_number(0); break;
    case key("Tw"): gs.word_spacing = first_number(0); break;
    case key("Tz"): gs.horizontal_scale = first_number(100) / 100; break;
    case key("TL"): gs.leading = first_number(0); break;
    case key("Ts"): gs.rise = first_number(0); break;
    case key("Tr"): {
        double m = first_number(-1);
        // Truncation toward zero: anything in (-1, 8) names a mode 0..7.
        gs.render = m > -1 && m < 8 ? static_cast<TextRender>(static_cast<int>(m)) : TextRender::Fill;
        break;
    }
    case key("Td"):
        if (count == 2) next_line(nums[0], nums[1]);
        break;
    case key("TD"):
        if (count == 2) {
            gs.leading = -nums[1];
            next_line(nums[0], nums[1]);
        }
        break;
    case key("Tm"):
        if (count == 6) text_matrix = line_matrix = {nums[0], nums[1], nums[2], nums[3], nums[4], nums[5]};
        break;
    case key("T*"): next_line(0, -gs.leading); break;
    case key("Tj"): show_operand(first); break;
    case key("'"):
        next_line(0, -gs.leading);
        show_operand(first);
        break;
    case key("\""):
        if (count == 2) {
            gs.word_spacing = nums[0];
            gs.char_spacing = nums[1];
        }
        next_line(0, -gs.leading);
        if (op.operands.size() >= 3) show_operand(&op.operands[2]);
        break;
    case key("TJ"):
        if (first && first->kind == Operand::Kind::Array) {
            for (const Operand& e : op.children(*first)) {
                if (e.kind == Operand::Kind::Number)
                    move_text(e.number / -1000 * gs.font_size * gs.horizontal_scale);
                else
                    show_operand(&e);
            }
        }
        break;
    case key("g"):
        set_color(gs.fill_color, 1, ColorSpaceKind::Gray);
        gs.fill_space = ColorSpaceKind::Gray;
        break;
    case key("G"):
        set_color(gs.stroke_color, 1, ColorSpaceKind::Gray);
        gs.stroke_space = ColorSpaceKind::Gray;
        break;
    case key("rg"):
        set_color(gs.fill_color, 3, ColorSpaceKind::Rgb);
        gs.fill_space = ColorSpaceKind::Rgb;
        break;
    case key("RG"):
        set_color(gs.stroke_color, 3, ColorSpaceKind::Rgb);
        gs.stroke_space = ColorSpaceKind::Rgb;
        break;
    case key("k"):
        set_color(gs.fill_color, 4, ColorSpaceKind::Cmyk);
        gs.fill_space = ColorSpaceKind::Cmyk;
        break;
    case key("K"):
        set_color(gs.stroke_color, 4, ColorSpaceKind::Cmyk);
        gs.stroke_space = ColorSpaceKind::Cmyk;
        break;
    case key("cs"):
        if (first && first->kind == Operand::Kind::Name) gs.fill_space = color_space_from_name(name_bytes(*first, name_scratch));
        break;
    case key("CS"):
        if (first && first->kind == Operand::Kind::Name) gs.stroke_space = color_space_from_name(name_bytes(*first, name_scratch));
        break;
    case key("sc"):
    case key("scn"): set_color(gs.fill_color, components(gs.fill_space), gs.fill_space); break;
    case key("SC"):
    case key("SCN"): set_color(gs.stroke_color, components(gs.stroke_space), gs.stroke_space); break;
    case key("Do"):
        if (first && name_of(*first, name_text)) {
            std::string qualified;
            qualify(name_text, qualified);
            if (out.xobjects.size() < kMaxPageXObjects) out.xobjects.push_back({qualified, gs.ctm});
            else out.xobjects_dropped = true;
            enter_form(qualified);
        }
        break;
    case key("m"):
        if (count == 2) path.start = path.current = point(0);
        break;
    case key("l"):
        if (count == 2) {
            Point p = point(0);
            if (path.current) path.push_segment({Kind::LineSegment, *path.current, p});
            path.current = p;
        }
        break;
    case key("c"):
    case key("v"):
    case key("y"):
        if (count >= 2) path.current = point(count - 2);
        break;
    case key("h"):
        if (path.current && path.start) path.push_segment({Kind::LineSegment, *path.current, *path.start});
        path.current = path.start;
        break;
    case key("re"):
        if (count == 4) {
            Point p0 = point(0);
            Point p1 = apply(gs.ctm, {nums[0] + nums[2], nums[1] + nums[3]});
            path.push_segment({Kind::Rectangle, p0, p1});
            path.start = path.current = p0;
        }
        break;
    case key("n"): path.clear(); break;
    case key("S"):
    case key("s"):
    case key("f"):
    case key("F"):
    case key("f*"):
    case key("B"):
    case key("B*"):
    case key("b"):
    case key("b*"): path.paint_path(out.ruled_lines); break;
    case key("BMC"): open_section({}); break;
    case key("BDC"): bdc(op); break;
    case key("EMC"): close_section(); break;
    default: break;
    }
}

}  // namespace

PageGlyphs interpret_with_forms(std::string_view content, std::span<const FontInfo> fonts,
                                std::span<const RawForm> forms, const GlyphWidths& widths) {
    // Checked whole before running, so that a syntax error anywhere gives nothing.
    const std::optional<std::size_t> bound = scan_content(content);
    if (!bound) return {};
    Interpreter in(fonts, forms, widths);
    in.out.glyphs.reserve(std::min(*bound, kMaxPageGlyphs));
    in.run_content(content);
    return std::move(in.out);
}

}  // namespace inkra
