#pragma once

// A finished workbook file copied out with XML added to some of its parts: what libxlsxwriter
// cannot write itself (a worksheet's sparklines) goes in as the part's last element.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tidy {

// A little-endian number of size bytes.
uint32_t little_endian(const unsigned char* bytes, int size);

// The central directory of a zip file as libxlsxwriter writes it (no comment, no zip64).
struct ZipDirectory {
  unsigned char end[22];             // the end record
  std::vector<unsigned char> bytes;  // the directory
  std::vector<size_t> entries;       // each entry's offset in bytes, in the directory's order
  uint32_t at = 0;                   // the directory's offset in the file
  // The entry's name, and the offset of its local header.
  std::string name(size_t entry) const;
  uint32_t local_at(size_t entry) const;
};

// Reads file's directory; "" when read, else why not.
std::string read_directory(FILE* file, ZipDirectory& directory);

// Moves file to the data of the entry at offset entry in directory; false when it cannot.
bool seek_to_data(FILE* file, const unsigned char* entry);

// Copies the zip file at path through write, adding extension(part) (a worksheet's <ext>
// element, or "") to the part's <extLst> before its closing </worksheet>. "" when copied, else
// why not; a write that fails (and reports itself) gives "write".
std::string copy_with_extensions(
    const std::string& path, const std::function<std::string(const std::string& part)>& extension,
    const std::function<bool(std::string_view bytes)>& write);

}  // namespace tidy
