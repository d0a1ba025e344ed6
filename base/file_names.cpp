#include "base/file_names.h"

namespace zx {

std::string ReplaceExtension(std::string_view path, std::string_view ext) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    std::string name(dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)
                         ? path.substr(0, dot)
                         : path);
    name += ext;
    return name;
}

}  // namespace zx
