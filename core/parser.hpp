// The only door to the PDF file. Everything that leaves it is one of the
// core's own records; no type of the PDF object reader is visible here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"
#include "types.hpp"

namespace inkra {

// Decoding any one stream stops past this many bytes and then counts as a
// failure to decode, so that a tiny Flate bomb cannot exhaust memory.
#ifndef INKRA_MAX_DECODED_STREAM
#define INKRA_MAX_DECODED_STREAM (std::size_t{256} << 20)
#endif
inline constexpr std::size_t kMaxDecodedStream = INKRA_MAX_DECODED_STREAM;

class Pdf {
public:
    // Loads the whole file; no password, no options.
    static Result<Pdf> open(std::string_view path);

    Pdf(Pdf&&) noexcept;
    Pdf& operator=(Pdf&&) noexcept;
    ~Pdf();

    // One entry per page in number order; empty when the tree cannot be listed.
    std::vector<PageInfo> pages() const;

    // The page's content streams, decoded and joined with a line feed between
    // them so that tokens of adjacent streams never fuse.
    Result<std::string> page_content(std::uint32_t number) const;

    // Every form XObject reachable from the page's resources, depth-first,
    // each under its qualified name (Fm0, Fm0/Fm1), content decoded.
    Result<std::vector<RawForm>> page_forms(std::uint32_t number) const;

    // The page's own fonts (merged up the page tree, in name order), then the
    // fonts of each of its forms under the form's name.
    Result<std::vector<RawFont>> page_raw_fonts(std::uint32_t number) const;

    // The image XObjects of the page's own resources; forms are not entered.
    Result<std::vector<RawImage>> page_raw_images(std::uint32_t number) const;

    // The structure tree flattened in document order; empty when untagged.
    RawStructure structure() const;

    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    explicit Pdf(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Filters whose output is a picture codec's input, kept as stored.
bool is_image_codec(std::string_view filter);

// The colour model a colour-space family name stands for.
ImageColorKind classify_color_space(std::string_view name);

}  // namespace inkra
