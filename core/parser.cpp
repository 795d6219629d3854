#include "parser.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <stdexcept>

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>

#include "parser_internal.hpp"

namespace inkra {

namespace {

// Collects decoded bytes and gives up past the ceiling, so a bomb is cut off
// while it inflates rather than after.
class CappedSink final : public Pipeline {
public:
    CappedSink(std::string& out, std::size_t cap) : Pipeline("inkra decoded stream", nullptr), out_(out), cap_(cap) {}
    void write(unsigned char const* data, size_t len) override {
        if (len > cap_ - out_.size()) {
            overflow = true;
            throw std::length_error("decoded stream exceeds the size ceiling");
        }
        out_.append(reinterpret_cast<const char*>(data), len);
    }
    void finish() override {}
    bool overflow = false;

private:
    std::string& out_;
    std::size_t cap_;
};

std::shared_ptr<QPDFLogger> silent_logger() {
    auto log = QPDFLogger::create();
    log->setInfo(log->discard());
    log->setWarn(log->discard());
    log->setError(log->discard());
    return log;
}

// qpdf writes a few messages through its process-wide logger; silence it once.
void silence_default_logger() {
    static std::once_flag once;
    std::call_once(once, [] {
        auto log = QPDFLogger::defaultLogger();
        log->setInfo(log->discard());
        log->setWarn(log->discard());
        log->setError(log->discard());
    });
}

std::string key_of(std::string_view key) {
    std::string k;
    k.reserve(key.size() + 1);
    if (key.empty() || key.front() != '/') k += '/';
    k += key;
    return k;
}

Rect page_box(std::optional<Object> box) {
    static constexpr Rect kA4{0, 0, 595.276, 841.89};
    if (!box || !box->isArray() || box->getArrayNItems() != 4) return kA4;
    double v[4];
    for (int i = 0; i < 4; ++i) {
        auto n = number_of(box->getArrayItem(i));
        if (!n) return kA4;
        v[i] = *n;
    }
    return {std::min(v[0], v[2]), std::min(v[1], v[3]), std::max(v[0], v[2]), std::max(v[1], v[3])};
}

std::uint8_t page_rotation(std::optional<Object> rot) {
    if (!rot || !rot->isInteger()) return 0;
    long long r = rot->getIntValue() % 360;
    if (r < 0) r += 360;
    switch (r) {
    case 90: return 1;
    case 180: return 2;
    case 270: return 3;
    default: return 0;
    }
}

}  // namespace

// ---- object helpers ----

std::optional<double> number_of(Object obj) {
    try {
        if (obj.isInteger()) return static_cast<double>(static_cast<float>(obj.getIntValue()));
        if (obj.isReal()) return static_cast<double>(static_cast<float>(obj.getNumericValue()));
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

std::string name_text(Object name) {
    std::string n = name.getName();
    return utf8_lossy(std::string_view(n).substr(n.empty() || n[0] != '/' ? 0 : 1));
}

std::optional<Object> lookup(Object dict, std::string_view key) {
    try {
        if (!dict.isDictionary()) return std::nullopt;
        auto k = key_of(key);
        if (!dict.hasKey(k)) return std::nullopt;
        Object v = dict.getKey(k);
        // qpdf resolves references on access; an unfetchable one reads as null.
        if (v.isIndirect() && v.isNull()) return std::nullopt;
        return v;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> name_of(Object dict, std::string_view key) {
    try {
        if (!dict.isDictionary()) return std::nullopt;
        Object v = dict.getKey(key_of(key));
        if (v.isIndirect() || !v.isName()) return std::nullopt;
        return name_text(v);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::vector<std::string> filters_of(Object stream_dict) {
    std::vector<std::string> out;
    try {
        auto f = lookup(stream_dict, "Filter");
        if (!f) return out;
        if (f->isName()) {
            out.push_back(name_text(*f));
        } else if (f->isArray()) {
            for (auto& item : f->getArrayAsVector())
                if (item.isName()) out.push_back(name_text(item));
        }
    } catch (const std::exception&) {
        out.clear();
    }
    return out;
}

std::optional<std::string> decode_stream(Object stream) {
    try {
        if (!stream.isStream()) return std::nullopt;
        std::string out;
        CappedSink sink(out, kMaxDecodedStream);
        // Success alone is not enough: a filter the reader does not know is
        // "not attempted" and passes the stored bytes through.
        bool attempted = false;
        bool ok = false;
        try {
            ok = stream.pipeStreamData(&sink, &attempted, 0, qpdf_dl_specialized, true, false);
        } catch (const std::exception&) {
            ok = false;
        }
        if (!ok || !attempted || sink.overflow) return std::nullopt;
        return out;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::string> raw_stream(Object stream) {
    try {
        if (!stream.isStream()) return std::nullopt;
        std::string out;
        CappedSink sink(out, kMaxDecodedStream);
        bool ok = stream.pipeStreamData(&sink, nullptr, 0, qpdf_dl_none, true, false);
        if (!ok || sink.overflow) return std::nullopt;
        return out;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// ---- Pdf::Impl ----

std::optional<QPDFObjGen> Pdf::Impl::page_id(std::uint32_t number) const {
    if (number == 0 || number > page_ids.size()) return std::nullopt;
    return page_ids[number - 1];
}

std::optional<Object> Pdf::Impl::inherited(QPDFObjGen page, std::string_view key) const {
    try {
        auto k = key_of(key);
        QPDFObjGen id = page;
        for (int visited = 0; visited < 64; ++visited) {
            Object node = qpdf->getObject(id);
            if (!node.isDictionary()) return std::nullopt;
            if (node.hasKey(k)) {
                Object v = node.getKey(k);
                if (v.isIndirect() && v.isNull()) return std::nullopt;
                return v;
            }
            Object parent = node.getKey("/Parent");
            if (!parent.isIndirect()) return std::nullopt;
            id = parent.getObjGen();
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

std::expected<Object, std::string> Pdf::Impl::resolve(Object obj) const {
    try {
        if (!obj.isIndirect()) return obj;
        return qpdf->getObject(obj.getObjGen());
    } catch (const std::exception& e) {
        return std::unexpected(std::string(e.what()));
    }
}

PageInfo Pdf::Impl::page_info(std::uint32_t number, QPDFObjGen page) const {
    PageInfo info;
    info.media_box = page_box(inherited(page, "MediaBox"));
    info.rotation = page_rotation(inherited(page, "Rotate"));
    info.number = number;
    return info;
}

// ---- Pdf ----

Pdf::Pdf(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Pdf::Pdf(Pdf&&) noexcept = default;
Pdf& Pdf::operator=(Pdf&&) noexcept = default;
Pdf::~Pdf() = default;

Result<Pdf> Pdf::open(std::string_view path) {
    std::string p(path);
    if (p.find('\0') != std::string::npos) return std::unexpected(Error::io(path, std::make_error_code(std::errc::invalid_argument)));
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::unexpected(Error::io(path, std::error_code(errno, std::generic_category())));
    struct stat st{};
    bool is_dir = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    ::close(fd);
    // A directory opens on Linux but cannot be read; say so rather than
    // blaming the PDF.
    if (is_dir) return std::unexpected(Error::io(path, std::make_error_code(std::errc::is_a_directory)));

    silence_default_logger();
    auto impl = std::make_unique<Impl>();
    try {
        impl->qpdf = std::make_unique<QPDF>();
        impl->qpdf->setLogger(silent_logger());
        impl->qpdf->setSuppressWarnings(true);
        impl->qpdf->processFile(p.c_str());
    } catch (const std::exception& e) {
        return std::unexpected(Error::malformed(e.what()));
    }
    try {
        for (auto& page : impl->qpdf->getAllPages()) impl->page_ids.push_back(page.getObjGen());
    } catch (const std::exception&) {
        impl->page_ids.clear();  // an unlistable page tree means no pages
    }
    return Pdf(std::move(impl));
}

std::vector<PageInfo> Pdf::pages() const {
    std::vector<PageInfo> out;
    out.reserve(impl_->page_ids.size());
    for (std::size_t i = 0; i < impl_->page_ids.size(); ++i)
        out.push_back(impl_->page_info(static_cast<std::uint32_t>(i + 1), impl_->page_ids[i]));
    return out;
}

Result<std::string> Pdf::page_content(std::uint32_t number) const {
    auto id = impl_->page_id(number);
    if (!id) return std::unexpected(Error::page_not_found(number));
    try {
        Object page = impl_->qpdf->getObject(*id);
        std::vector<Object> streams;
        if (page.isDictionary()) {
            Object contents = page.getKey("/Contents");
            if (contents.isStream()) {
                streams.push_back(contents);
            } else if (contents.isArray()) {
                for (auto& item : contents.getArrayAsVector())
                    if (item.isStream()) streams.push_back(item);
            }
        }
        std::string out;
        for (std::size_t i = 0; i < streams.size(); ++i) {
            auto data = decode_stream(streams[i]);
            if (!data)
                return std::unexpected(Error::malformed("content stream object " + streams[i].getObjGen().unparse(' ') +
                                                        ": errors while decoding content stream"));
            if (i > 0) out += '\n';
            out += *data;
        }
        return out;
    } catch (const std::exception& e) {
        return std::unexpected(Error::malformed(e.what()));
    }
}

}  // namespace inkra
