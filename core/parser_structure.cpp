// Structure tree reading: the tagged reading order, flattened in pre-order.
#include <exception>
#include <limits>

#include "parser.hpp"
#include "parser_internal.hpp"

namespace inkra {

namespace {

constexpr unsigned kMaxStructDepth = 64;

std::optional<std::uint32_t> mcid_of(Object obj) {
    if (!obj.isInteger()) return std::nullopt;
    long long v = obj.getIntValue();
    if (v < 0 || static_cast<unsigned long long>(v) > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

RoleMap read_role_map(const Pdf::Impl& impl, Object root) {
    RoleMap roles;
    auto map = lookup(root, "RoleMap");
    if (!map) return roles;
    auto dict = impl.resolve(*map);
    if (!dict || !dict->isDictionary()) return roles;
    for (auto& [key, value] : dict->getDictAsMap()) {
        auto target = impl.resolve(value);
        Object v = target ? *target : value;
        if (v.isName()) roles.emplace(key_text(key), name_text(v));
    }
    return roles;
}

}  // namespace

void walk_structure(Object node, unsigned depth, std::optional<std::uint32_t> page, const RoleMap& roles,
                    const PageNumbers& pages, VisitedSet& visited, std::vector<StructElement>& out) {
    if (depth > kMaxStructDepth) return;
    std::optional<std::string> role;
    std::vector<std::uint32_t> mcids;
    std::vector<Object> children;
    try {
        Object pg = node.getKey("/Pg");
        if (pg.isIndirect())
            if (auto it = pages.find(id_key(pg.getObjGen())); it != pages.end()) page = it->second;

        Object s = node.getKey("/S");
        if (!s.isIndirect() && s.isName()) {
            role = name_text(s);
            if (auto it = roles.find(*role); it != roles.end()) role = it->second;
        }

        std::vector<Object> kids;
        Object k = node.getKey("/K");
        if (k.isArray()) {
            kids = k.getArrayAsVector();
        } else if (!k.isNull()) {
            // A /K that refers to one element goes through the visited set
            // like any other kid, so a self-referring /K cannot repeat.
            kids.push_back(k);
        }
        for (auto& kid : kids) {
            if (kid.isIndirect()) {
                if (!visited.insert(id_key(kid.getObjGen())).second) continue;
                if (!kid.isDictionary()) continue;
            } else if (auto mcid = mcid_of(kid)) {
                mcids.push_back(*mcid);
                continue;
            }
            if (!kid.isDictionary()) continue;
            if (Object m = kid.getKey("/MCID"); m.isInteger()) {
                if (auto mcid = mcid_of(m)) mcids.push_back(*mcid);
                continue;
            }
            children.push_back(kid);
        }
    } catch (const std::exception&) {
        // What was read before the failure stands.
    }
    if (role) out.push_back({std::move(*role), std::move(mcids), page, depth});
    for (auto& child : children) walk_structure(child, depth + 1, page, roles, pages, visited, out);
}

RawStructure Pdf::structure() const {
    RawStructure result;
    try {
        Object catalog = impl_->qpdf->getRoot();
        if (!catalog.isDictionary()) return result;
        if (auto mark = lookup(catalog, "MarkInfo"); mark && mark->isDictionary()) {
            Object marked = mark->getKey("/Marked");
            if (marked.isBool()) result.marked = marked.getBoolValue();
        }
        auto root = lookup(catalog, "StructTreeRoot");
        if (!root || !root->isDictionary()) return result;
        RoleMap roles = read_role_map(*impl_, *root);
        PageNumbers pages;
        for (std::size_t i = 0; i < impl_->page_ids.size(); ++i)
            pages.emplace(id_key(impl_->page_ids[i]), static_cast<std::uint32_t>(i + 1));
        VisitedSet visited;
        walk_structure(*root, 0, std::nullopt, roles, pages, visited, result.elements);
    } catch (const std::exception&) {
    }
    return result;
}

}  // namespace inkra
