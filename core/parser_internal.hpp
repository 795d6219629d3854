// The object-level helpers behind `Pdf`, shared by the readers of the parser
// module. Only parser sources (and their tests) include this header.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <string_view>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "parser.hpp"

namespace inkra {

using Object = QPDFObjectHandle;

// A form XObject found on a page: where it sits and what it draws with.
struct Form {
    std::string name;  // qualified: Fm0/Fm1
    Object stream;
    Object resources;  // its own /Resources, else those it was found in
};

// Object ids as one hashable key, for the walks' visited sets.
inline std::uint64_t id_key(QPDFObjGen id) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(id.getObj())) << 32) |
           static_cast<std::uint32_t>(id.getGen());
}
using VisitedSet = std::unordered_set<std::uint64_t>;
using RoleMap = std::unordered_map<std::string, std::string>;
using PageNumbers = std::unordered_map<std::uint64_t, std::uint32_t>;  // page object id -> number

struct Pdf::Impl {
    std::unique_ptr<QPDF> qpdf;
    std::vector<QPDFObjGen> page_ids;  // index = page number - 1

    PageInfo page_info(std::uint32_t number, QPDFObjGen page) const;

    // A page attribute on the page or up its /Parent chain (64 nodes at most).
    std::optional<Object> inherited(QPDFObjGen page, std::string_view key) const;

    // The object a reference points to, or the reader's error text.
    std::expected<Object, std::string> resolve(Object obj) const;

    std::optional<QPDFObjGen> page_id(std::uint32_t number) const;

    // The page's /Resources when it is a dictionary (inherited).
    std::optional<Object> page_resources(QPDFObjGen page) const;

    // Forms: the page's forms, and the recursive step over one resource
    // dictionary (depths 0 to 7 are read).
    Result<std::vector<Form>> collect_forms(std::uint32_t number) const;
    void walk_forms(Object resources, const std::string& prefix, int depth, VisitedSet& visited,
                    std::vector<Form>& out) const;
};

// Fonts: one font dictionary read whole, and its short summary.
RawFont raw_font(std::string_view name, Object dict);
FontInfo font_info(std::string_view name, Object dict);

// Images: a colour space given as an array ([/ICCBased s], [/Indexed ...]).
ImageColorKind color_space_of_object(Object space);

// Structure: the recursive step of the tree walk (depths 0 to 64 are read).
void walk_structure(Object node, unsigned depth, std::optional<std::uint32_t> page, const RoleMap& roles,
                    const PageNumbers& pages, VisitedSet& visited, std::vector<StructElement>& out);

// The entry under `key`, one reference followed; absent when missing or the
// reference cannot be fetched.
std::optional<Object> lookup(Object dict, std::string_view key);

// The entry as text when it is a name stored directly in the dictionary.
std::optional<std::string> name_of(Object dict, std::string_view key);

// The names of a stream's /Filter entry, in order.
std::vector<std::string> filters_of(Object stream_dict);

// An integer or real as a 32-bit float widened to 64 bits.
std::optional<double> number_of(Object obj);

// The stream's data with its general-purpose filters undone, or absent when
// the reader cannot undo them or the result would pass kMaxDecodedStream.
std::optional<std::string> decode_stream(Object stream);

// The stream's data as stored.
std::optional<std::string> raw_stream(Object stream);

// Name bytes without the leading slash, read as UTF-8.
std::string name_text(Object name);

// A dictionary key as the reader stores it ("/F1") read as UTF-8 text.
inline std::string key_text(std::string_view key) {
    if (!key.empty() && key.front() == '/') key.remove_prefix(1);
    return utf8_lossy(key);
}

}  // namespace inkra
