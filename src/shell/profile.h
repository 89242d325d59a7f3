// A small INI profile reader and writer with the semantics the settings rely on: sections and
// keys found without regard to ASCII case, values trimmed, one key replaced per write with every
// other line kept. Texts are bytes (GBK); nothing is converted.
#pragma once

#include <string>
#include <string_view>

namespace quorvex {

// At most this many bytes of a value are seen, as with the platform's 10240-byte buffer.
inline constexpr std::size_t kProfileValueMax = 10239;

// The value of key in section, or "" when the file, the section or the key is missing.
std::string read_profile_string(const std::string& path, std::string_view section,
                                std::string_view key);

// Writes key=value into section, creating the file or section when missing. The file is replaced
// through a temporary file, so a crash or a full disk never leaves it half-written. Returns false
// (and says why in *error) when it could not be written.
bool write_profile_string(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view value, std::string* error = nullptr);

}  // namespace quorvex
