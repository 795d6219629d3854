// Runs the four resource readers over every page of each PDF given (files or
// directories, searched recursively), each file in a child process with a
// time and memory limit, and reports one tab-separated line per file:
//   path  status  seconds  peak_MiB  pages  forms  fonts  images  elements
// status is ok, unopenable (the file did not load, which is allowed), or one
// of the faults timeout, crash:<signal>, threw, printed. The exit code is 1
// when any file shows a fault.
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "parser.hpp"

namespace {

constexpr unsigned kTimeLimitSeconds = 20;
constexpr rlim_t kMemoryLimit = rlim_t{2} << 30;

struct Counts {
    bool opened = false;
    unsigned long pages = 0, forms = 0, fonts = 0, images = 0, elements = 0;
};

Counts read_all(const std::string& path) {
    Counts c;
    auto pdf = inkra::Pdf::open(path);
    if (!pdf) return c;
    c.opened = true;
    c.elements = pdf->structure().elements.size();
    auto pages = pdf->pages();
    c.pages = pages.size();
    for (const auto& page : pages) {
        if (auto f = pdf->page_forms(page.number)) c.forms += f->size();
        if (auto f = pdf->page_raw_fonts(page.number)) c.fonts += f->size();
        if (auto i = pdf->page_raw_images(page.number)) c.images += i->size();
    }
    return c;
}

bool report(const std::string& path) {
    int out = memfd_create("inkra-output", 0);
    int result[2];
    if (out < 0 || pipe(result) != 0) return false;
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child == 0) {
        close(result[0]);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        rlimit mem{kMemoryLimit, kMemoryLimit};
        setrlimit(RLIMIT_AS, &mem);
        alarm(kTimeLimitSeconds);
        Counts c;
        char status = 't';
        try {
            c = read_all(path);
            status = 'k';
        } catch (...) {
        }
        (void)!write(result[1], &status, 1);
        (void)!write(result[1], &c, sizeof c);
        _exit(0);
    }
    close(result[1]);
    char status = 0;
    Counts c;
    bool got = read(result[0], &status, 1) == 1 && read(result[0], &c, sizeof c) == static_cast<ssize_t>(sizeof c);
    close(result[0]);
    int wstatus = 0;
    rusage usage{};
    wait4(child, &wstatus, 0, &usage);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    struct stat st{};
    bool printed = fstat(out, &st) == 0 && st.st_size > 0;
    close(out);

    std::string verdict;
    if (WIFSIGNALED(wstatus))
        verdict = WTERMSIG(wstatus) == SIGALRM ? "timeout" : "crash:" + std::string(strsignal(WTERMSIG(wstatus)));
    else if (!got || status != 'k')
        verdict = "threw";
    else if (printed)
        verdict = "printed";
    else
        verdict = c.opened ? "ok" : "unopenable";
    std::printf("%s\t%s\t%.3f\t%.1f\t%lu\t%lu\t%lu\t%lu\t%lu\n", path.c_str(), verdict.c_str(), seconds,
                usage.ru_maxrss / 1024.0, c.pages, c.forms, c.fonts, c.images, c.elements);
    std::fflush(stdout);
    return verdict == "ok" || verdict == "unopenable";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (std::filesystem::is_directory(argv[i], ec)) {
            for (auto& e : std::filesystem::recursive_directory_iterator(argv[i], ec)) {
                auto ext = e.path().extension().string();
                std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
                if (e.is_regular_file() && ext == ".pdf") files.push_back(e.path().string());
            }
        } else {
            files.emplace_back(argv[i]);
        }
    }
    std::sort(files.begin(), files.end());
    bool all_sound = true;
    for (const auto& f : files) all_sound = report(f) && all_sound;
    return all_sound ? 0 : 1;
}
