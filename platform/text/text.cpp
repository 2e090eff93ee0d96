// Text conversions: hand-written UTF-8/UTF-16 codecs (the hot path of every
// packet), iconv for the ANSI code page, and the case and comparison rules
// of names.
#include "platform/text/text.h"
#include "platform/text/utf8_into.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace rvz::text {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

bool isAscii(WStringView s) {
  for (char16_t c : s)
    if (c >= 0x80) return false;
  return true;
}

// One iconv descriptor per direction and thread: opening one costs far more
// than converting a short value.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much as possible; returns false at an input sequence that
  // cannot be converted (in is left pointing at it).
  bool run(const char*& in, size_t& inLeft, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
      char buf[1024];
      char* o = buf;
      size_t oLeft = sizeof buf;
      size_t r = iconv(cd_, const_cast<char**>(&in), &inLeft, &o, &oLeft);
      out.append(buf, static_cast<size_t>(o - buf));
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        return false;  // EILSEQ or EINVAL (truncated sequence)
      }
    }
    return true;
  }

 private:
  iconv_t cd_;
};

Converter& toAnsi() {
  thread_local Converter c("CP936", "UTF-16LE");
  return c;
}

Converter& fromAnsi() {
  thread_local Converter c("UTF-16LE", "CP936");
  return c;
}

}  // namespace

namespace {

// Decodes the multi-byte sequence whose lead byte (0x80 or above) is s[i]
// and moves i past it; false, with i unmoved, when the sequence is
// malformed: a bad lead or continuation byte, a truncated sequence, an
// overlong form, an encoded surrogate or a value past U+10FFFF. The one
// UTF-8 rule of the platform, lenient and strict conversions alike.
inline bool decodeUtf8(std::string_view s, size_t& i, char32_t& cp) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, cp = c & 0x07;
  } else {
    return false;
  }
  if (len > s.size() - i) return false;
  for (size_t k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
    return false;
  i += len;
  return true;
}

inline void appendWide(WString& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// Appends the UTF-16 form of s to out. At each byte that starts no
// well-formed sequence, malformed(out) may append a stand-in and answer
// whether to go on past that byte; false when it stopped the conversion.
template <class Malformed>
bool decodeInto(std::string_view s, WString& out, Malformed malformed) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp;
    if (c < 0x80) {
      out.push_back(c);
      ++i;
    } else if (decodeUtf8(s, i, cp)) {
      appendWide(out, cp);
    } else if (malformed(out)) {
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

WString utf8ToWide(std::string_view s) {
  WString out;
  utf8ToWideInto(s, out);
  return out;
}

void utf8ToWideInto(std::string_view s, WString& out) {
  if (isAscii(s)) {
    out.assign(s.begin(), s.end());
    return;
  }
  out.clear();
  out.reserve(s.size());
  decodeInto(s, out, [](WString& o) {
    o.push_back(kReplacement);  // one per byte that starts no sequence
    return true;
  });
}

std::optional<WString> utf8ToWideStrict(std::string_view s) {
  WString out;
  out.reserve(s.size());
  if (!decodeInto(s, out, [](WString&) { return false; })) return std::nullopt;
  return out;
}

std::optional<size_t> wideLength(std::string_view s) {
  size_t i = 0, units = 0;
  while (i < s.size()) {
    char32_t cp;
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      ++units;
    } else if (decodeUtf8(s, i, cp)) {
      units += cp >= 0x10000 ? 2 : 1;
    } else {
      return std::nullopt;
    }
  }
  return units;
}

bool isValidUtf8(std::string_view s) { return wideLength(s).has_value(); }

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

namespace {

bool pairAt(WStringView s, size_t i) {
  return s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
}

}  // namespace

std::string wideToUtf8(WStringView s) {
  // Measured first, then written through a pointer: every value bound to a
  // statement comes through here, so a text costs two plain passes rather
  // than a growing string and a call per character.
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c < 0x80)
      n += 1;
    else if (c < 0x800)
      n += 2;
    else if (pairAt(s, i))
      n += 4, ++i;
    else
      n += 3;  // a lone surrogate becomes U+FFFD, which has no UTF-8 form of its own
  }
  std::string out(n, '\0');
  auto* p = reinterpret_cast<unsigned char*>(out.data());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp < 0x80) {
      *p++ = static_cast<unsigned char>(cp);
    } else if (cp < 0x800) {
      *p++ = static_cast<unsigned char>(0xC0 | (cp >> 6));
      *p++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    } else if (pairAt(s, i)) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
      *p++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
      *p++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    } else {
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = kReplacement;
      *p++ = static_cast<unsigned char>(0xE0 | (cp >> 12));
      *p++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::string wideToAnsi(WStringView s) {
  if (isAscii(s)) return std::string(s.begin(), s.end());
  std::string out;
  out.reserve(s.size() * 2);
  const char* in = reinterpret_cast<const char*>(s.data());
  size_t left = s.size() * sizeof(char16_t);
  while (!toAnsi().run(in, left, out)) {
    // One '?' per code unit that the code page cannot hold, as the
    // Windows conversion writes its default character.
    out.push_back('?');
    size_t skip = left < sizeof(char16_t) ? left : sizeof(char16_t);
    in += skip;
    left -= skip;
  }
  return out;
}

WString ansiToWide(std::string_view s) {
  if (isAscii(s)) return WString(s.begin(), s.end());
  std::string bytes;
  bytes.reserve(s.size() * 2);
  const char* in = s.data();
  size_t left = s.size();
  WString out;
  auto flush = [&] {
    size_t n = bytes.size() / 2;
    size_t base = out.size();
    out.resize(base + n);
    for (size_t k = 0; k < n; ++k)
      out[base + k] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                            (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
    bytes.clear();
  };
  while (!fromAnsi().run(in, left, bytes)) {
    flush();
    out.push_back(kReplacement);
    ++in;
    --left;
  }
  flush();
  return out;
}

std::string utf8ToAnsi(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  return wideToAnsi(utf8ToWide(utf8));
}

std::string ansiToUtf8(std::string_view ansi) {
  if (isAscii(ansi)) return std::string(ansi);
  return wideToUtf8(ansiToWide(ansi));
}

WString throughAnsi(WStringView wide) {
  if (isAscii(wide)) return WString(wide);
  return ansiToWide(wideToAnsi(wide));
}

namespace {

// The one case table of names: each run maps small letters onto capitals
// by a fixed offset, read one way for upper case and the other for lower.
struct CaseRun {
  char16_t small, last, capital;  // small..last <-> capital..capital + (last - small)
};
constexpr CaseRun kCaseRuns[] = {
    {0xE0, 0xF6, 0xC0},       {0xF8, 0xFE, 0xD8},    {0xFF, 0xFF, 0x178},  // Latin-1
    {0x3B1, 0x3C1, 0x391},    {0x3C3, 0x3C9, 0x3A3},                       // Greek
    {0x430, 0x44F, 0x410},    {0x450, 0x45F, 0x400},                       // Cyrillic
    {0xFF41, 0xFF5A, 0xFF21},                                              // fullwidth Latin
};
constexpr char16_t kFinalSigma = 0x3C2, kCapitalSigma = 0x3A3;

}  // namespace

char16_t upperChar(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  if (c == kFinalSigma) return kCapitalSigma;  // the one small letter that shares a capital
  for (const CaseRun& r : kCaseRuns)
    if (c >= r.small && c <= r.last) return static_cast<char16_t>(r.capital + (c - r.small));
  return c;
}

char16_t lowerChar(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  for (const CaseRun& r : kCaseRuns)
    if (c >= r.capital && c <= r.capital + (r.last - r.small)) return static_cast<char16_t>(r.small + (c - r.capital));
  return c;
}

WString upperCase(WStringView s) {
  WString out(s);
  for (auto& c : out) c = upperChar(c);
  return out;
}

WString lowerCase(WStringView s) {
  WString out(s);
  for (auto& c : out) c = lowerChar(c);
  return out;
}

char lowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c; }

std::string upperCaseAscii(std::string_view s) {
  std::string out(s);
  for (auto& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
  return out;
}

std::string lowerCaseAscii(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = lowerAsciiChar(c);
  return out;
}

namespace {

// The locale's word sort for names: hyphen and apostrophe are ignored,
// other symbols come before digits, digits before letters, letters compare
// without case, and characters past ASCII follow in code order.
bool ignoredInSort(char16_t c) { return c == u'-' || c == u'\''; }

uint32_t sortWeight(char16_t c) {
  char16_t u = upperChar(c);
  if (u >= u'0' && u <= u'9') return 0x10000 + u;
  if (u >= u'A' && u <= u'Z') return 0x20000 + u;
  if (u < 0x80) return u;  // symbols and controls
  return 0x30000 + u;
}

}  // namespace

int compareNoCase(WStringView a, WStringView b) {
  size_t i = 0, j = 0;
  while (true) {
    while (i < a.size() && ignoredInSort(a[i])) ++i;
    while (j < b.size() && ignoredInSort(b[j])) ++j;
    if (i == a.size() || j == b.size()) break;
    uint32_t wa = sortWeight(a[i]), wb = sortWeight(b[j]);
    if (wa != wb) return wa < wb ? -1 : 1;
    ++i;
    ++j;
  }
  bool aDone = i == a.size(), bDone = j == b.size();
  if (!aDone) return 1;
  if (!bDone) return -1;
  // Equal apart from ignored characters: fall back to a plain ordering so
  // the comparison stays a total order.
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t k = 0; k < a.size(); ++k) {
    char16_t ua = upperChar(a[k]), ub = upperChar(b[k]);
    if (ua != ub) return ua < ub ? -1 : 1;
  }
  return 0;
}

bool equalsNoCase(WStringView a, WStringView b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k)
    if (upperChar(a[k]) != upperChar(b[k])) return false;
  return true;
}

int compareNoCaseUtf8(std::string_view a, std::string_view b) { return compareNoCase(utf8ToWide(a), utf8ToWide(b)); }

bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    char x = a[k], y = b[k];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 0x20);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 0x20);
    if (x != y) return false;
  }
  return true;
}

size_t ansiPrefixLength(std::string_view ansi, size_t maxBytes) {
  size_t i = 0;
  while (i < ansi.size()) {
    unsigned char c = static_cast<unsigned char>(ansi[i]);
    // 0x81..0xFE lead a double-byte character in CP936.
    size_t len = (c >= 0x81 && c <= 0xFE && i + 1 < ansi.size()) ? 2 : 1;
    if (i + len > maxBytes) break;
    i += len;
  }
  return i;
}

}  // namespace rvz::text
