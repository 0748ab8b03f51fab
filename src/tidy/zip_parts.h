#pragma once

// A finished workbook file copied out with XML added to some of its parts: what libxlsxwriter
// cannot write itself (a worksheet's sparklines) goes in as the part's last element.

#include <functional>
#include <string>
#include <string_view>

namespace tidy {

// Copies the zip file at path through write, adding extension(part) (a worksheet's <ext>
// element, or "") to the part's <extLst> before its closing </worksheet>. "" when copied, else
// why not; a write that fails (and reports itself) gives "write".
std::string copy_with_extensions(
    const std::string& path, const std::function<std::string(const std::string& part)>& extension,
    const std::function<bool(std::string_view bytes)>& write);

}  // namespace tidy
