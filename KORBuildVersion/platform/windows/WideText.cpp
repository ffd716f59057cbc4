// Conversions at the Windows boundary. UTF-8 is coded here by hand: the system's converter turns an
// unpaired surrogate into U+FFFD, and a name that does not survive the round trip names another file.
#include "platform/windows/WideText.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace korflowid::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

/// The code point that starts at `at`, moving `at` past it. Three-byte surrogates decode as
/// themselves, as toUtf8 writes unpaired ones; anything else malformed is U+FFFD for one byte.
char32_t nextCodePoint(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || text.size() - at < length) {
    ++at;
    return kReplacement;
  }
  char32_t value = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    value = (value << 6) | (next & 0x3Fu);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};  // shorter forms are not UTF-8
  if (value < kSmallest[length] || value > 0x10FFFF) {
    ++at;
    return kReplacement;
  }
  at += length;
  return value;
}

/// `text` in UTF-8, one code point at a time.
template <typename Sink>
void forEachUtf8Piece(std::wstring_view text, Sink&& sink) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t point = static_cast<char16_t>(text[i]);
    if (isHighSurrogate(point) && i + 1 < text.size() && isLowSurrogate(static_cast<char16_t>(text[i + 1]))) {
      point = 0x10000 + ((point - 0xD800) << 10) + (static_cast<char16_t>(text[++i]) - 0xDC00u);
    }
    const int length = point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
    constexpr unsigned char kLeads[] = {0, 0x00, 0xC0, 0xE0, 0xF0};
    char bytes[4];
    for (int k = length - 1; k > 0; --k, point >>= 6) bytes[k] = static_cast<char>(0x80 | (point & 0x3F));
    bytes[0] = static_cast<char>(kLeads[length] | point);
    sink(std::string_view(bytes, static_cast<std::size_t>(length)));
  }
}

/// UTF-16 units of the library's text, a bounded piece at a time, so a conversion needs no memory.
template <typename Sink>
void forEachWidePiece(std::string_view text, Sink&& sink) {
  constexpr std::size_t kUnits = 64;
  wchar_t units[kUnits];
  std::size_t count = 0;
  for (std::size_t at = 0; at < text.size();) {
    if (count + 2 > kUnits) {
      sink(std::wstring_view(units, count));
      count = 0;
    }
    const char32_t point = nextCodePoint(text, at);
    if (point > 0xFFFF) {
      units[count++] = static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
      units[count++] = static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    } else {
      units[count++] = static_cast<wchar_t>(point);
    }
  }
  if (count > 0) sink(std::wstring_view(units, count));
}

/// `text` in the ANSI code page, a bounded piece at a time.
template <typename Sink>
void forEachAnsiPiece(std::wstring_view text, Sink&& sink) {
  const UINT page = ::GetACP();
  // The UTF-8 code page refuses the flag; it has every character, so it has no look-alikes to give.
  const DWORD flags = page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  constexpr std::size_t kUnits = 64;
  char bytes[4 * kUnits];
  while (!text.empty()) {
    std::size_t units = text.size() < kUnits ? text.size() : kUnits;
    if (units < text.size() && isHighSurrogate(text[units - 1])) --units;  // a pair stays in one piece
    const int got = ::WideCharToMultiByte(page, flags, text.data(), static_cast<int>(units), bytes,
                                          static_cast<int>(sizeof bytes), nullptr, nullptr);
    if (got > 0) {
      sink(std::string_view(bytes, static_cast<std::size_t>(got)));
    } else {
      for (std::size_t i = 0; i < units; ++i) sink("?");
    }
    text.remove_prefix(units);
  }
}

/// The caller-buffer rule over pieces that arrive one by one.
class CallerBufferWriter {
 public:
  CallerBufferWriter(char* buffer, std::size_t size) : buffer_(buffer), size_(buffer == nullptr ? 0 : size) {}
  void operator()(std::string_view piece) {
    if (length_ < size_) std::memcpy(buffer_ + length_, piece.data(), std::min(piece.size(), size_ - length_));
    length_ += piece.size();
  }
  std::size_t finish() {
    if (length_ < size_) std::memset(buffer_ + length_, 0, size_ - length_);
    return length_;
  }

 private:
  char* buffer_;
  std::size_t size_;
  std::size_t length_ = 0;
};

bool startsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

constexpr std::wstring_view kVerbatimPrefix = L"\\\\?\\";

bool isSeparator(wchar_t unit) {
  return unit == L'\\' || unit == L'/';
}

/// A path in the "\\?\" form with "." and ".." resolved and backslashes only: the system takes such a
/// path literally, where the root's own "/../" must still climb. The volume ("C:", "UNC\server\share",
/// "Volume{...}") stays as it is, and ".." never climbs above it.
///   "\\?\C:\i\kor/../InstallVersions/x.txt"  =>  "\\?\C:\i\InstallVersions\x.txt"
WideText resolvedVerbatim(std::wstring_view text) {
  std::wstring_view rest = text.substr(kVerbatimPrefix.size());
  const bool unc =
      rest.size() > 3 && isSeparator(rest[3]) && ::CompareStringOrdinal(rest.data(), 3, L"UNC", 3, TRUE) == CSTR_EQUAL;
  std::size_t volumeNames = unc ? 3 : 1;
  WideText out(kVerbatimPrefix.begin(), kVerbatimPrefix.end());
  std::vector<std::size_t> nameStarts;  // where each name after the volume begins in `out`, for ".."
  while (!rest.empty()) {
    std::size_t length = 0;
    while (length < rest.size() && !isSeparator(rest[length])) ++length;
    const std::wstring_view name = rest.substr(0, length);
    rest.remove_prefix(length < rest.size() ? length + 1 : length);
    if (volumeNames > 0) {
      --volumeNames;
    } else if (name.empty() || name == L".") {
      continue;
    } else if (name == L"..") {
      if (!nameStarts.empty()) {
        out.resize(nameStarts.back());
        nameStarts.pop_back();
      }
      continue;
    } else {
      nameStarts.push_back(out.size());
    }
    if (out.size() > kVerbatimPrefix.size()) out.push_back(L'\\');
    out.insert(out.end(), name.begin(), name.end());
  }
  if (isSeparator(text.back())) out.push_back(L'\\');
  out.push_back(L'\0');
  return out;
}

}  // namespace

std::string toUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  forEachUtf8Piece(text, [&out](std::string_view piece) { out.append(piece); });
  return out;
}

std::size_t copyAsUtf8(std::wstring_view text, char* buffer, std::size_t size) {
  CallerBufferWriter writer(buffer, size);
  forEachUtf8Piece(text, writer);
  return writer.finish();
}

WideText toWide(std::string_view text) {
  WideText out;
  out.reserve(text.size() + 1);
  forEachWidePiece(text, [&out](std::wstring_view piece) { out.insert(out.end(), piece.begin(), piece.end()); });
  out.push_back(L'\0');
  return out;
}

std::string toAnsi(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  forEachAnsiPiece(text, [&out](std::string_view piece) { out.append(piece); });
  return out;
}

std::size_t copyAsAnsi(std::wstring_view text, std::string_view tail, char* buffer, std::size_t size) {
  CallerBufferWriter writer(buffer, size);
  forEachAnsiPiece(text, writer);
  writer(tail);
  return writer.finish();
}

std::size_t copyAsAnsi(std::string_view text, char* buffer, std::size_t size) {
  CallerBufferWriter writer(buffer, size);
  forEachWidePiece(text, [&writer](std::wstring_view piece) { forEachAnsiPiece(piece, writer); });
  return writer.finish();
}

WideText fileSystemPath(std::string_view path) {
  WideText wide = toWide(path);
  const std::wstring_view text(wide.data(), wide.size() - 1);
  if (startsWith(text, kVerbatimPrefix)) return resolvedVerbatim(text);
  if (startsWith(text, L"\\\\.\\")) return wide;  // a device path, which the system resolves itself
  // MAX_PATH less the room a directory must leave for an 8.3 file name: the smaller of the limits.
  constexpr std::size_t kLimit = MAX_PATH - 12;
  // Completing an absolute path only resolves "." and "..", so a short one stays short: it goes as it
  // is, without asking the system. The limit holds for the path as the system completes it, below the
  // working directory, so a short relative path can pass it where the text does not.
  const bool absolute =
      text.size() >= 3 && ((text[1] == L':' && isSeparator(text[2])) || (isSeparator(text[0]) && isSeparator(text[1])));
  if (absolute && text.size() < kLimit) return wide;
  const DWORD needed = ::GetFullPathNameW(wide.data(), 0, nullptr, nullptr);
  if (needed == 0) return wide;  // the call then fails as it would have anyway
  WideText full(needed);
  const DWORD got = ::GetFullPathNameW(wide.data(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed) return wide;
  std::wstring_view resolved(full.data(), got);
  if (resolved.size() < kLimit) {
    if (text.size() < kLimit) return wide;  // as it always went
    full.resize(got + 1);
    return full;
  }
  if (startsWith(resolved, kVerbatimPrefix) || startsWith(resolved, L"\\\\.\\")) return full;
  std::wstring_view prefix = kVerbatimPrefix;
  if (startsWith(resolved, L"\\\\")) {  // \\server\share\...
    prefix = L"\\\\?\\UNC";
    resolved.remove_prefix(1);
  }
  WideText verbatim(prefix.begin(), prefix.end());
  verbatim.insert(verbatim.end(), resolved.begin(), resolved.end());
  verbatim.push_back(L'\0');
  return verbatim;
}

}  // namespace korflowid::platform
