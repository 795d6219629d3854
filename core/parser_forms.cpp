// Form XObject discovery: every form a page can draw, named by where it sits.
#include <exception>

#include "parser.hpp"
#include "parser_internal.hpp"

namespace inkra {

namespace {

constexpr int kMaxFormDepth = 8;

Matrix form_matrix(Object form) {
    auto m = lookup(form.getDict(), "Matrix");
    if (!m || !m->isArray()) return kIdentity;
    Matrix out{};
    std::size_t n = 0;
    for (auto& item : m->getArrayAsVector()) {
        auto v = number_of(item);
        if (!v) continue;  // other kinds are skipped, not counted
        if (n == out.size()) return kIdentity;
        out[n++] = *v;
    }
    return n == out.size() ? out : kIdentity;
}

}  // namespace

std::optional<Object> Pdf::Impl::page_resources(QPDFObjGen page) const {
    auto res = inherited(page, "Resources");
    try {
        if (!res || !res->isDictionary()) return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return res;
}

void Pdf::Impl::walk_forms(Object resources, const std::string& prefix, int depth, VisitedSet& visited,
                           std::vector<Form>& out) const {
    if (depth >= kMaxFormDepth) return;
    std::vector<std::pair<std::string, Object>> entries;
    try {
        auto xobjects = lookup(resources, "XObject");
        if (!xobjects || !xobjects->isDictionary()) return;
        for (auto& [key, value] : xobjects->getDictAsMap()) entries.emplace_back(key, value);
    } catch (const std::exception&) {
        return;
    }
    for (auto& [key, value] : entries) {
        Form form;
        try {
            if (value.isIndirect() && !visited.insert(id_key(value.getObjGen())).second) continue;
            if (value.isIndirect() && value.isNull()) continue;  // dangling
            if (!value.isStream()) continue;
            Object dict = value.getDict();
            Object subtype = dict.getKey("/Subtype");
            if (!subtype.isName() || subtype.getName() != "/Form") continue;
            form.name = prefix + key_text(key);
            form.stream = value;
            Object own = dict.getKey("/Resources");
            form.resources = own.isDictionary() ? own : resources;
        } catch (const std::exception&) {
            continue;
        }
        std::string inner = form.name + "/";
        Object inner_resources = form.resources;
        out.push_back(std::move(form));
        walk_forms(inner_resources, inner, depth + 1, visited, out);
    }
}

Result<std::vector<Form>> Pdf::Impl::collect_forms(std::uint32_t number) const {
    auto id = page_id(number);
    if (!id) return std::unexpected(Error::page_not_found(number));
    std::vector<Form> out;
    auto resources = page_resources(*id);
    if (!resources) return out;
    VisitedSet visited;
    walk_forms(*resources, "", 0, visited, out);
    return out;
}

Result<std::vector<RawForm>> Pdf::page_forms(std::uint32_t number) const {
    auto forms = impl_->collect_forms(number);
    if (!forms) return std::unexpected(forms.error());
    std::vector<RawForm> out;
    out.reserve(forms->size());
    for (auto& form : *forms) {
        RawForm raw;
        raw.name = form.name;
        try {
            auto content = decode_stream(form.stream);
            if (!content) content = raw_stream(form.stream);
            raw.content = content ? std::move(*content) : std::string();
            raw.matrix = form_matrix(form.stream);
        } catch (const std::exception&) {
        }
        out.push_back(std::move(raw));
    }
    return out;
}

}  // namespace inkra
