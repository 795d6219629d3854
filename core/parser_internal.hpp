// The object-level helpers behind `Pdf`, shared by the readers of the parser
// module. Only parser sources (and their tests) include this header.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "parser.hpp"

namespace inkra {

using Object = QPDFObjectHandle;

struct Pdf::Impl {
    std::unique_ptr<QPDF> qpdf;
    std::vector<QPDFObjGen> page_ids;  // index = page number - 1

    PageInfo page_info(std::uint32_t number, QPDFObjGen page) const;

    // A page attribute on the page or up its /Parent chain (64 nodes at most).
    std::optional<Object> inherited(QPDFObjGen page, std::string_view key) const;

    // The object a reference points to, or the reader's error text.
    std::expected<Object, std::string> resolve(Object obj) const;

    std::optional<QPDFObjGen> page_id(std::uint32_t number) const;
};

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

}  // namespace inkra
