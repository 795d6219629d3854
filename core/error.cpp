#include "error.hpp"

#include "types.hpp"

namespace inkra {

Error Error::io(std::string_view path, std::error_code ec) {
    Error e;
    e.kind = Kind::Io;
    e.path = std::string(path);
    e.os_error = ec;
    return e;
}

Error Error::malformed(std::string reader_message) {
    Error e;
    e.kind = Kind::MalformedPdf;
    e.message = std::move(reader_message);
    return e;
}

Error Error::page_not_found(std::uint32_t number) {
    Error e;
    e.kind = Kind::PageNotFound;
    e.page = number;
    return e;
}

std::string Error::text() const {
    switch (kind) {
    case Kind::Io:
        return "could not read `" + utf8_lossy(path) + "`: " + os_error.message();
    case Kind::MalformedPdf:
        return "malformed PDF: " + utf8_lossy(message);
    case Kind::PageNotFound:
        return "page " + std::to_string(page) + " does not exist in this document";
    }
    return {};
}

}  // namespace inkra
