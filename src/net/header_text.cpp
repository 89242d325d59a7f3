#include "net/header_text.h"

#include "base/text_ops.h"

namespace quorvex {

std::string capitalize_first(std::string_view text) {
  std::string out(text);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
  return out;
}

std::string normalize_header_text(std::string_view text) {
  std::string result;
  for (const std::string_view piece : split_keep_empty(text, "\r\n")) {
    const std::size_t colon = piece.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = piece.substr(0, colon);
    if (name.find('-') == std::string_view::npos) {
      result.append(capitalize_first(name));
    } else {
      // Splitting keeps every part, empty ones too, so the dashes come back where they were.
      std::size_t start = 0;
      for (;;) {
        const std::size_t dash = name.find('-', start);
        result.append(capitalize_first(name.substr(start, dash - start)));
        if (dash == std::string_view::npos) break;
        result.push_back('-');
        start = dash + 1;
      }
    }
    result.append(piece.substr(colon));
    result.append("\r\n");
  }
  if (result.size() >= 2) result.resize(result.size() - 2);
  return result;
}

std::string header_name_of(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return std::string(trim_spaces(line.substr(0, colon)));
}

std::string header_value_of(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return std::string(trim_spaces(line.substr(colon + 1)));
}

std::string base64_encode(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                       (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

}  // namespace quorvex
