// Writes small PDFs object by object for the tests.
#pragma once

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace inkra::test {

inline std::string deflate(const std::string& data) {
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()), data.size(), 9);
    out.resize(size);
    return out;
}

class PdfBuilder {
public:
    // Adds an object given by its body ("<< /Type /Page >>"); returns its number.
    int add(std::string body) {
        objects_.push_back(std::move(body));
        return static_cast<int>(objects_.size());
    }
    // Reserves a number to fill later with set().
    int reserve() { return add("null"); }
    void set(int number, std::string body) { objects_.at(number - 1) = std::move(body); }

    // A stream object; `dict` holds extra entries, /Length is added.
    int add_stream(const std::string& data, const std::string& dict = "", bool flate = false) {
        std::string bytes = flate ? deflate(data) : data;
        std::string d = dict + (flate ? " /Filter /FlateDecode" : "");
        return add("<< " + d + " /Length " + std::to_string(bytes.size()) + " >>\nstream\n" + bytes + "\nendstream");
    }

    // Pages under one /Pages root; each entry is the extra dictionary text of
    // a page and its content. Returns the page object numbers.
    std::vector<int> simple_document(const std::vector<std::pair<std::string, std::string>>& pages,
                                     const std::string& root_extra = "", const std::string& catalog_extra = "") {
        int root = reserve();
        std::vector<int> ids;
        std::string kids;
        for (const auto& [extra, content] : pages) {
            int c = add_stream(content);
            int p = add("<< /Type /Page /Parent " + ref(root) + " /Contents " + ref(c) + " " + extra + " >>");
            ids.push_back(p);
            kids += ref(p) + " ";
        }
        set(root, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " " + root_extra + " >>");
        catalog_ = add("<< /Type /Catalog /Pages " + ref(root) + " " + catalog_extra + " >>");
        return ids;
    }

    void set_catalog(int number) { catalog_ = number; }

    std::string build() const {
        std::string out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
        std::vector<std::size_t> offsets;
        for (std::size_t i = 0; i < objects_.size(); ++i) {
            offsets.push_back(out.size());
            out += std::to_string(i + 1) + " 0 obj\n" + objects_[i] + "\nendobj\n";
        }
        std::size_t xref = out.size();
        out += "xref\n0 " + std::to_string(objects_.size() + 1) + "\n0000000000 65535 f \n";
        for (auto off : offsets) {
            char line[32];
            std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
            out += line;
        }
        out += "trailer\n<< /Size " + std::to_string(objects_.size() + 1) + " /Root " + ref(catalog_) +
               " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        return out;
    }

    // Writes the file into the temporary folder and returns its path.
    std::string write(const std::string& name) const { return write_file(name, build()); }

    static std::string write_file(const std::string& name, const std::string& bytes) {
        auto dir = std::filesystem::temp_directory_path() / ("inkra-tests-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        auto path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string ref(int n) { return std::to_string(n) + " 0 R"; }

private:
    std::vector<std::string> objects_;
    int catalog_ = 1;
};

}  // namespace inkra::test
