// A finished workbook copied out part by part, with XML added to the parts that need it.

#include "tidy/zip_parts.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/files.h"

namespace tidy {

namespace {

uint32_t get(const unsigned char* bytes, int size) { return little_endian(bytes, size); }

void put(unsigned char* bytes, int size, uint32_t value) {
  for (int i = 0; i < size; ++i, value >>= 8) bytes[i] = static_cast<unsigned char>(value);
}

constexpr uint32_t LocalHeader = 0x04034b50, CentralHeader = 0x02014b50, EndRecord = 0x06054b50,
                   Descriptor = 0x08074b50;
constexpr uint32_t HasDescriptor = 8;  // the general-purpose flag of a trailing data descriptor

class Copy {
 public:
  Copy(FILE* file, const std::function<bool(std::string_view)>& write)
      : file_(file), write_(write) {}

  bool read_at(long offset, unsigned char* to, size_t size) {
    return fseek(file_, offset, SEEK_SET) == 0 && fread(to, 1, size, file_) == size;
  }
  // Writes bytes out; false, remembered, when the write failed.
  bool out(const void* bytes, size_t size) {
    written_ += size;
    write_failed_ =
        write_failed_ || !write_(std::string_view(static_cast<const char*>(bytes), size));
    return !write_failed_;
  }
  // Copies size bytes from offset as they are.
  bool copy(long offset, uint64_t size) {
    if (fseek(file_, offset, SEEK_SET) != 0) return false;
    unsigned char buffer[1 << 15];
    while (size > 0) {
      const size_t got = fread(buffer, 1, std::min<uint64_t>(size, sizeof buffer), file_);
      if (got == 0) return false;
      if (!out(buffer, got)) return false;
      size -= got;
    }
    return true;
  }
  uint64_t written() const { return written_; }
  bool write_failed() const { return write_failed_; }

 private:
  FILE* file_;
  const std::function<bool(std::string_view)>& write_;
  uint64_t written_ = 0;
  bool write_failed_ = false;
};

// The part's data deflated again with the extension before its end; crc and sizes of the new
// data. "" when done.
std::string reextend(Copy& copy, FILE* file, uint32_t packed, uint32_t crc, uint32_t size,
                     const std::string& extension, uint32_t& new_crc, uint32_t& new_packed,
                     uint32_t& new_size) {
  static const std::string End = "</worksheet>", Listed = "</extLst></worksheet>";
  z_stream in = {}, out = {};
  if (inflateInit2(&in, -MAX_WBITS) != Z_OK) return "cannot start zlib";
  std::unique_ptr<z_stream, int (*)(z_stream*)> inflating(&in, inflateEnd);
  if (deflateInit2(&out, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    return "cannot start zlib";
  }
  std::unique_ptr<z_stream, int (*)(z_stream*)> deflating(&out, deflateEnd);
  std::vector<unsigned char> read(1 << 15), plain(1 << 15), packed_out(1 << 15);
  std::string held;  // the part's last bytes, where the extension goes
  uLong sum = crc32(0, nullptr, 0);
  new_crc = crc32(0, nullptr, 0);
  // Deflates text (all of it when last) and writes what comes out.
  auto deflate_out = [&](const unsigned char* text, size_t length, bool last) {
    new_crc = crc32(new_crc, text, static_cast<uInt>(length));
    out.next_in = const_cast<unsigned char*>(text);
    out.avail_in = static_cast<uInt>(length);
    int status = Z_OK;
    do {
      out.next_out = packed_out.data();
      out.avail_out = static_cast<uInt>(packed_out.size());
      status = deflate(&out, last ? Z_FINISH : Z_NO_FLUSH);
      const size_t got = packed_out.size() - out.avail_out;
      if (got > 0 && !copy.out(packed_out.data(), got)) return false;
    } while (out.avail_out == 0 || (last && status != Z_STREAM_END));
    return true;
  };
  int status = Z_OK;
  while (status == Z_OK) {
    if (in.avail_in == 0 && packed > 0) {
      in.avail_in =
          static_cast<uInt>(fread(read.data(), 1, std::min<uint32_t>(packed, read.size()), file));
      if (in.avail_in == 0) break;
      packed -= in.avail_in;
      in.next_in = read.data();
    }
    in.next_out = plain.data();
    in.avail_out = static_cast<uInt>(plain.size());
    status = inflate(&in, Z_NO_FLUSH);
    const size_t got = plain.size() - in.avail_out;
    sum = crc32(sum, plain.data(), static_cast<uInt>(got));
    held.append(reinterpret_cast<const char*>(plain.data()), got);
    if (held.size() > 2 * Listed.size()) {
      const size_t passed = held.size() - Listed.size();
      if (!deflate_out(reinterpret_cast<const unsigned char*>(held.data()), passed, false)) {
        return "write";
      }
      held.erase(0, passed);
    }
  }
  if (status != Z_STREAM_END || packed != 0 || in.avail_in != 0 || in.total_out != size ||
      sum != crc) {
    return "does not inflate to the recorded size and CRC";
  }
  if (held.size() < End.size() || held.compare(held.size() - End.size(), End.size(), End) != 0) {
    return "is cut short";
  }
  const bool listed = held.size() >= Listed.size() &&
                      held.compare(held.size() - Listed.size(), Listed.size(), Listed) == 0;
  held.insert(held.size() - (listed ? Listed : End).size(),
              listed ? extension : "<extLst>" + extension + "</extLst>");
  if (!deflate_out(reinterpret_cast<const unsigned char*>(held.data()), held.size(), true)) {
    return "write";
  }
  if (out.total_out > UINT32_MAX || out.total_in > UINT32_MAX) return "is too large";
  new_packed = static_cast<uint32_t>(out.total_out);
  new_size = static_cast<uint32_t>(out.total_in);
  return "";
}

}  // namespace

uint32_t little_endian(const unsigned char* bytes, int size) {
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

std::string ZipDirectory::name(size_t entry) const {
  return std::string(reinterpret_cast<const char*>(&bytes[entry + 46]), get(&bytes[entry + 28], 2));
}

uint32_t ZipDirectory::local_at(size_t entry) const { return get(&bytes[entry + 42], 4); }

std::string read_directory(FILE* file, ZipDirectory& directory) {
  auto read_at = [&](long offset, unsigned char* to, size_t size) {
    return fseek(file, offset, SEEK_SET) == 0 && fread(to, 1, size, file) == size;
  };
  // libxlsxwriter writes no zip comment: the end record is the last 22 bytes.
  if (fseek(file, -22, SEEK_END) != 0) return "it is not a zip file";
  const long end_at = ftell(file);
  if (!read_at(end_at, directory.end, sizeof directory.end) || get(directory.end, 4) != EndRecord) {
    return "it does not end in a zip directory";
  }
  const uint32_t size = get(directory.end + 12, 4);
  directory.at = get(directory.end + 16, 4);
  if (size > 1 << 16 ||
      static_cast<uint64_t>(directory.at) + size > static_cast<uint64_t>(end_at)) {
    return "its zip directory is out of place";
  }
  directory.bytes.resize(size);
  if (!read_at(static_cast<long>(directory.at), directory.bytes.data(), size)) {
    return "cannot read its zip directory";
  }
  directory.entries.clear();
  for (size_t at = 0; at + 46 <= size && get(&directory.bytes[at], 4) == CentralHeader;) {
    const size_t next = at + 46 + get(&directory.bytes[at + 28], 2) +
                        get(&directory.bytes[at + 30], 2) + get(&directory.bytes[at + 32], 2);
    if (next > size) return "its zip directory is out of place";
    directory.entries.push_back(at);
    at = next;
  }
  return "";
}

bool seek_to_data(FILE* file, const unsigned char* entry) {
  unsigned char local[30];
  return get(entry + 10, 2) == Z_DEFLATED && fseek(file, get(entry + 42, 4), SEEK_SET) == 0 &&
         fread(local, 1, sizeof local, file) == sizeof local && get(local, 4) == LocalHeader &&
         fseek(file, get(local + 26, 2) + get(local + 28, 2), SEEK_CUR) == 0;
}

std::string copy_with_extensions(
    const std::string& path, const std::function<std::string(const std::string& part)>& extension,
    const std::function<bool(std::string_view bytes)>& write) {
  // Opened so that Ctrl-C can still remove the scratch file while it is copied out.
  std::unique_ptr<FILE, int (*)(FILE*)> file(open_scratch_file(path), fclose);
  if (!file) return std::string("cannot read it back: ") + strerror(errno);
  Copy copy(file.get(), write);
  ZipDirectory zip;
  const std::string fault = read_directory(file.get(), zip);
  if (!fault.empty()) return fault;
  std::vector<unsigned char>& directory = zip.bytes;
  std::vector<size_t>& entries = zip.entries;
  const uint32_t directory_at = zip.at;
  // The entries, in the order of their data in the file.
  std::sort(entries.begin(), entries.end(),
            [&](size_t a, size_t b) { return zip.local_at(a) < zip.local_at(b); });
  for (size_t i = 0; i < entries.size(); ++i) {
    unsigned char* entry = &directory[entries[i]];
    const uint32_t local_at = get(entry + 42, 4);
    const uint32_t next =
        i + 1 < entries.size() ? get(&directory[entries[i + 1]] + 42, 4) : directory_at;
    if (next < local_at) return "its zip directory is out of place";
    const std::string name = zip.name(entries[i]);
    const std::string added = extension(name);
    if (copy.written() > UINT32_MAX) return "it is too large";
    put(entry + 42, 4, static_cast<uint32_t>(copy.written()));
    if (added.empty()) {
      if (!copy.copy(local_at, next - local_at)) {
        return copy.write_failed() ? "write" : "cannot read " + name;
      }
      continue;
    }
    unsigned char local[30];
    if (get(entry + 10, 2) != Z_DEFLATED || get(entry + 30, 2) != 0 ||
        !copy.read_at(local_at, local, sizeof local) || get(local, 4) != LocalHeader ||
        fseek(file.get(), get(local + 26, 2) + get(local + 28, 2), SEEK_CUR) != 0) {
      return "cannot find the data of " + name;
    }
    // A new local header whose CRC and sizes follow the data.
    const uint32_t flags = get(local + 6, 2) | HasDescriptor;
    put(local + 6, 2, flags);
    put(local + 14, 4, 0);
    put(local + 18, 4, 0);
    put(local + 22, 4, 0);
    put(local + 28, 2, 0);
    const long data_at = ftell(file.get());
    if (!copy.out(local, sizeof local) || !copy.out(name.data(), name.size())) return "write";
    if (fseek(file.get(), data_at, SEEK_SET) != 0) return "cannot find the data of " + name;
    uint32_t crc = 0, packed = 0, size = 0;
    const std::string fault = reextend(copy, file.get(), get(entry + 20, 4), get(entry + 16, 4),
                                       get(entry + 24, 4), added, crc, packed, size);
    if (!fault.empty()) return fault == "write" ? fault : "its " + name + " " + fault;
    unsigned char descriptor[16];
    put(descriptor, 4, Descriptor);
    put(descriptor + 4, 4, crc);
    put(descriptor + 8, 4, packed);
    put(descriptor + 12, 4, size);
    if (!copy.out(descriptor, sizeof descriptor)) return "write";
    put(entry + 8, 2, flags);
    put(entry + 16, 4, crc);
    put(entry + 20, 4, packed);
    put(entry + 24, 4, size);
  }
  if (copy.written() > UINT32_MAX) return "it is too large";
  put(zip.end + 16, 4, static_cast<uint32_t>(copy.written()));
  if (!copy.out(directory.data(), directory.size()) || !copy.out(zip.end, sizeof zip.end))
    return "write";
  return "";
}

}  // namespace tidy
