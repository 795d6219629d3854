// The core's one error type. Failures travel as values; no exception leaves
// the core.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <system_error>

namespace inkra {

struct Error {
    enum class Kind : std::uint8_t { Io, MalformedPdf, PageNotFound };

    Kind kind = Kind::MalformedPdf;
    std::string path;           // Io: the path as given
    std::error_code os_error;   // Io: what the operating system said
    std::string message;        // MalformedPdf: the PDF reader's own words
    std::uint32_t page = 0;     // PageNotFound: the 1-based number asked for

    static Error io(std::string_view path, std::error_code ec);
    static Error malformed(std::string reader_message);
    static Error page_not_found(std::uint32_t number);

    // The display text, which the Python layer uses as the exception message.
    std::string text() const;

    bool is_not_found() const { return kind == Kind::Io && os_error == std::errc::no_such_file_or_directory; }
    bool is_permission_denied() const {
        return kind == Kind::Io && (os_error == std::errc::permission_denied ||
                                    os_error == std::errc::operation_not_permitted);
    }
};

template <class T>
using Result = std::expected<T, Error>;

}  // namespace inkra
