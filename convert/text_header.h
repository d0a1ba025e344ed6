// What the formats with a text header (NRRD, MetaImage) share: the header
// read line by line from the start of a file (at most 1 MiB), numbers
// parsed strictly, and the data file a header names found beside it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zx {

struct TextHeader {
    std::vector<std::string> lines;  ///< without their line ends
    std::uint64_t end = 0;           ///< the byte after the last line read
    bool stopped = false;            ///< `stop` ended it (not the file's end)
};

/// Lines up to the one for which `stop` is true (that one included), or to
/// the end of the file. Throws `what` + "… ist länger als 1 MiB" beyond.
TextHeader ReadTextHeader(const std::string& path,
                          const std::function<bool(const std::string&)>& stop,
                          const std::string& what);

std::string Trim(const std::string& s);
std::string Lower(std::string s);
/// Whitespace-separated words.
std::vector<std::string> Words(const std::string& s);
/// The words as finite numbers, or nothing when one is none.
std::optional<std::vector<double>> Numbers(const std::string& s);
/// A whole number within [lo, hi], or nothing.
std::optional<std::int64_t> WholeNumber(const std::string& s, std::int64_t lo, std::int64_t hi);

/// A data file named in a header: relative names lie beside the header.
std::string BesideHeader(const std::string& headerPath, const std::string& name);

}  // namespace zx
