#include "convert/text_header.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "convert/input_file.h"

namespace zx {
namespace {

constexpr std::size_t kMaxHeaderBytes = std::size_t{1} << 20;

}  // namespace

TextHeader ReadTextHeader(const std::string& path,
                          const std::function<bool(const std::string&)>& stop,
                          const std::string& what) {
    StreamedInput in(path, StreamedInput::Packing::Plain);
    TextHeader h;
    std::string line;
    unsigned char buf[4096];
    std::size_t total = 0;
    for (;;) {
        const std::size_t got = in.ReadUpTo(buf, sizeof buf);
        if (got == 0) break;
        for (std::size_t i = 0; i < got; ++i) {
            ++total;
            if (buf[i] != '\n') {
                line.push_back(char(buf[i]));
                continue;
            }
            if (!line.empty() && line.back() == '\r') line.pop_back();
            h.lines.push_back(line);
            h.end = total;
            if (stop(line)) {
                h.stopped = true;
                return h;
            }
            line.clear();
        }
        if (total > kMaxHeaderBytes) FailFile(path, what + "der Dateikopf ist länger als 1 MiB");
    }
    if (!line.empty()) {
        if (line.back() == '\r') line.pop_back();
        h.lines.push_back(line);
        h.end = total;
        h.stopped = stop(line);
    }
    return h;
}

std::string Trim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> Words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    return w;
}

std::optional<std::vector<double>> Numbers(const std::string& s) {
    std::vector<double> v;
    for (const std::string& w : Words(s)) {
        char* end = nullptr;
        errno = 0;
        const double d = std::strtod(w.c_str(), &end);
        if (end == w.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(d))
            return std::nullopt;
        v.push_back(d);
    }
    return v;
}

std::optional<std::int64_t> WholeNumber(const std::string& s, std::int64_t lo, std::int64_t hi) {
    const std::string t = Trim(s);
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (t.empty() || *end != '\0' || errno == ERANGE || v < lo || v > hi) return std::nullopt;
    return v;
}

std::string BesideHeader(const std::string& headerPath, const std::string& name) {
    const std::filesystem::path p(name);
    if (p.is_absolute()) return name;
    return (std::filesystem::path(headerPath).parent_path() / p).string();
}

}  // namespace zx
