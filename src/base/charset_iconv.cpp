// Character-set conversion on iconv.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "base/charset_backend.h"

namespace quorvex {

namespace {

// Opening a converter costs far more than converting a cell's text, so each thread keeps the
// converters it has opened until it ends.
class ConverterCache {
 public:
  ~ConverterCache() {
    for (auto& entry : entries_) iconv_close(entry.cd);
  }
  iconv_t get(const std::string& to, const std::string& from) {
    for (auto& entry : entries_) {
      if (entry.to == to && entry.from == from) {
        iconv(entry.cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return entry.cd;
      }
    }
    const iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return cd;
    entries_.push_back({to, from, cd});
    return cd;
  }

 private:
  struct Entry {
    std::string to, from;
    iconv_t cd;
  };
  std::vector<Entry> entries_;
};

iconv_t converter(const std::string& to, const std::string& from) {
  thread_local ConverterCache cache;
  return cache.get(to, from);
}

iconv_t no_converter() { return reinterpret_cast<iconv_t>(-1); }

// Runs one iconv pass. Where iconv cannot go on, `on_bad` gets the output and the rest of the
// input, appends a replacement and says how many input bytes to skip (at least one).
template <class OnBad>
bool run_iconv(iconv_t cd, std::string_view in, std::string& out, OnBad&& on_bad) {
  char* inp = const_cast<char*>(in.data());
  std::size_t inleft = in.size();
  char buf[16384];
  while (inleft > 0) {
    char* outp = buf;
    std::size_t outleft = sizeof buf;
    const std::size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
    out.append(buf, static_cast<std::size_t>(outp - buf));
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      if (errno == EILSEQ || errno == EINVAL) {
        const std::size_t skip =
            std::min(std::max<std::size_t>(on_bad(out, std::string_view(inp, inleft)), 1), inleft);
        inp += skip;
        inleft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        continue;
      }
      return false;
    }
  }
  char* outp = buf;
  std::size_t outleft = sizeof buf;
  iconv(cd, nullptr, nullptr, &outp, &outleft);
  out.append(buf, static_cast<std::size_t>(outp - buf));
  return true;
}

// The target's bytes for one UTF-32LE character; empty when the target cannot hold it.
std::string encode_one(const std::string& to, std::string_view utf32_char) {
  const iconv_t cd = converter(to, "UTF-32LE");
  std::string out;
  if (cd == no_converter()) return out;
  char* inp = const_cast<char*>(utf32_char.data());
  std::size_t inleft = utf32_char.size();
  char buf[16];
  char* outp = buf;
  std::size_t outleft = sizeof buf;
  if (iconv(cd, &inp, &inleft, &outp, &outleft) != static_cast<std::size_t>(-1))
    out.assign(buf, static_cast<std::size_t>(outp - buf));
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return out;
}

// Length of the one character at the start of in, as `from` decodes it; 0 when it is not a
// well-formed character.
std::size_t decodable_length(const std::string& from, std::string_view in) {
  const iconv_t cd = converter("UTF-32LE", from);
  if (cd == no_converter()) return 0;
  char* inp = const_cast<char*>(in.data());
  std::size_t inleft = in.size();
  char buf[4];
  char* outp = buf;
  std::size_t outleft = sizeof buf;
  iconv(cd, &inp, &inleft, &outp, &outleft);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return outp == buf + 4 ? in.size() - inleft : 0;
}

}  // namespace

std::string convert_bytes(std::string_view bytes, const std::string& from, const std::string& to) {
  const iconv_t cd = converter(to, from);
  if (cd == no_converter()) return {};
  // A character the target cannot hold becomes "?"; a byte that is no character at all becomes
  // U+FFFD where the target has it, else "?" too.
  const std::string question = encode_one(to, std::string_view("?\0\0\0", 4));
  std::string invalid = encode_one(to, std::string_view("\xFD\xFF\0\0", 4));
  if (invalid.empty()) invalid = question;
  // A bad unit of a wide encoding (a lone UTF-16 surrogate) is skipped as a whole unit: skipping
  // a single byte would put every later character out of step.
  const std::size_t unit = from.rfind("UTF-16", 0) == 0 ? 2 : from.rfind("UTF-32", 0) == 0 ? 4 : 1;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  const bool ok = run_iconv(cd, bytes, out, [&](std::string& o, std::string_view rest) {
    const std::size_t length = decodable_length(from, rest);
    o.append(length > 0 ? question : invalid);
    return length > 0 ? length : unit;
  });
  return ok ? out : std::string();
}

}  // namespace quorvex
