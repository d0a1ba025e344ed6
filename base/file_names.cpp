#include "base/file_names.h"

namespace zx {

std::string ReplaceExtension(std::string_view path, std::string_view ext) {
    constexpr std::size_t npos = std::string_view::npos;
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool hasExtension = dot != npos && (slash == npos || dot > slash);
    std::string name(hasExtension ? path.substr(0, dot) : path);
    name += ext;
    return name;
}

}  // namespace zx
