// The skin archive over the LZMA SDK's C 7z decoder. Everything is unpacked at
// Open: the package is small, nearly every window needs most of it, and a
// corrupt stream is then refused as a whole instead of failing halfway
// through a window's build.
#include "ui/skin_package.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "7z.h"
#include "7zAlloc.h"
#include "7zCrc.h"

namespace Ui {

struct SkinArchive::Entry {
  std::wstring name;  // forward slashes
  std::string bytes;
};

namespace {

// A skin is a few megabytes at most. Anything claiming more is refused before
// memory is committed to it: archive headers cannot be trusted for sizes.
constexpr UInt64 kMaxUnpackedBytes = UInt64{64} << 20;
constexpr std::size_t kLookAheadBytes = std::size_t{1} << 16;

// The decoder's input: a seekable stream over the caller's bytes. `vt` comes
// first so that the interface pointer the decoder hands back is the object.
struct MemoryInStream {
  ISeekInStream vt;
  const Byte* data;
  std::size_t size;
  std::size_t position;
};

MemoryInStream* StreamOf(ISeekInStreamPtr p) {
  return reinterpret_cast<MemoryInStream*>(const_cast<ISeekInStream*>(p));
}

SRes MemoryRead(ISeekInStreamPtr p, void* buffer, size_t* size) {
  MemoryInStream* stream = StreamOf(p);
  const std::size_t count = std::min(*size, stream->size - stream->position);
  if (count != 0) std::memcpy(buffer, stream->data + stream->position, count);
  stream->position += count;
  *size = count;
  return SZ_OK;
}

SRes MemorySeek(ISeekInStreamPtr p, Int64* offset, ESzSeek origin) {
  MemoryInStream* stream = StreamOf(p);
  const auto size = static_cast<Int64>(stream->size);
  Int64 base = 0;
  switch (origin) {
    case SZ_SEEK_SET: base = 0; break;
    case SZ_SEEK_CUR: base = static_cast<Int64>(stream->position); break;
    case SZ_SEEK_END: base = size; break;
    default: return SZ_ERROR_PARAM;
  }
  // Offsets come from the archive's headers: keep the target inside the
  // buffer without ever computing an overflowing sum.
  if (*offset < -base || *offset > size - base) return SZ_ERROR_INPUT_EOF;
  *offset += base;
  stream->position = static_cast<std::size_t>(*offset);
  return SZ_OK;
}

// The archive stores UTF-16; std::wstring is UTF-16 on Windows and UTF-32
// elsewhere. Backslashes become forward slashes, the form Names() promises
// and Find() compares against.
std::wstring NameFromUtf16(const UInt16* units, std::size_t count) {
  std::wstring name;
  name.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t code = units[i];
    if constexpr (sizeof(wchar_t) >= 4) {
      if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 &&
          units[i + 1] < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
        ++i;
      }
    }
    name.push_back(code == L'\\' ? L'/' : static_cast<wchar_t>(code));
  }
  return name;
}

// Requests may use either separator. Case is folded as the settings file's
// names are: the programs keep the C library's default locale, so both
// systems fold the same letters.
wint_t FoldForLookup(wchar_t c) {
  return std::towlower(static_cast<wint_t>(c == L'\\' ? L'/' : c));
}

// The table of the decoder's CRC routine is global; build it exactly once
// even when two threads open archives at the same time.
void PrepareCrcTable() {
  static std::once_flag once;
  std::call_once(once, [] { CrcGenerateTable(); });
}

// Frees the decoder's state on every way out of Open.
class Decoder {
 public:
  explicit Decoder(MemoryInStream* input) : lookBuffer_(kLookAheadBytes) {
    LookToRead2_CreateVTable(&look_, False);
    look_.buf = lookBuffer_.data();
    look_.bufSize = lookBuffer_.size();
    look_.realStream = &input->vt;
    LookToRead2_INIT(&look_)
    SzArEx_Init(&db_);
  }
  ~Decoder() {
    ISzAlloc_Free(&alloc_, unpacked_);
    SzArEx_Free(&db_, &alloc_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  bool ReadHeaders() { return SzArEx_Open(&db_, &look_.vt, &alloc_, &allocTemp_) == SZ_OK; }

  bool SizesAreSane() const {
    UInt64 total = 0;
    for (UInt32 folder = 0; folder < db_.db.NumFolders; ++folder) {
      const UInt64 size = SzAr_GetFolderUnpackSize(&db_.db, folder);
      if (size > kMaxUnpackedBytes - total) return false;
      total += size;
    }
    return true;
  }

  UInt32 Count() const { return db_.NumFiles; }
  bool IsFolder(UInt32 index) const { return SzArEx_IsDir(&db_, index) != 0; }

  std::wstring Name(UInt32 index) const {
    const std::size_t units = SzArEx_GetFileNameUtf16(&db_, index, nullptr);  // with the zero
    std::vector<UInt16> utf16(units + 1, 0);
    SzArEx_GetFileNameUtf16(&db_, index, utf16.data());
    return NameFromUtf16(utf16.data(), units == 0 ? 0 : units - 1);
  }

  // A solid block is unpacked once and kept while its files follow each other.
  std::optional<std::string_view> Contents(UInt32 index) {
    std::size_t offset = 0;
    std::size_t size = 0;
    if (SzArEx_Extract(&db_, &look_.vt, index, &block_, &unpacked_, &unpackedSize_, &offset, &size,
                       &alloc_, &allocTemp_) != SZ_OK) {
      return std::nullopt;
    }
    if (size == 0) return std::string_view();
    return std::string_view(reinterpret_cast<const char*>(unpacked_) + offset, size);
  }

 private:
  const ISzAlloc alloc_{SzAlloc, SzFree};
  const ISzAlloc allocTemp_{SzAllocTemp, SzFreeTemp};
  std::vector<Byte> lookBuffer_;
  CLookToRead2 look_{};
  CSzArEx db_{};
  UInt32 block_ = std::numeric_limits<UInt32>::max();
  Byte* unpacked_ = nullptr;
  std::size_t unpackedSize_ = 0;
};

}  // namespace

SkinArchive::SkinArchive() = default;
SkinArchive::~SkinArchive() = default;

std::unique_ptr<SkinArchive> SkinArchive::Open(const void* data, std::size_t size) {
  if (data == nullptr || size == 0) return nullptr;
  PrepareCrcTable();
  MemoryInStream input{{MemoryRead, MemorySeek}, static_cast<const Byte*>(data), size, 0};
  Decoder decoder(&input);
  if (!decoder.ReadHeaders() || !decoder.SizesAreSane()) return nullptr;

  std::unique_ptr<SkinArchive> archive(new SkinArchive());
  for (UInt32 i = 0; i < decoder.Count(); ++i) {
    if (decoder.IsFolder(i)) continue;
    // Every file's checksum is verified as it is unpacked; one bad file
    // refuses the whole package.
    const std::optional<std::string_view> contents = decoder.Contents(i);
    if (!contents) return nullptr;
    archive->entries_.push_back(Entry{decoder.Name(i), std::string(*contents)});
  }
  return archive;
}

std::optional<std::string_view> SkinArchive::Find(const std::wstring& path) const {
  for (const Entry& entry : entries_) {
    if (entry.name.size() != path.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < path.size() && same; ++i) {
      same = FoldForLookup(entry.name[i]) == FoldForLookup(path[i]);
    }
    if (same) return std::string_view(entry.bytes);
  }
  return std::nullopt;
}

std::vector<std::wstring> SkinArchive::Names() const {
  std::vector<std::wstring> names;
  names.reserve(entries_.size());
  for (const Entry& entry : entries_) names.push_back(entry.name);
  return names;
}

}  // namespace Ui
