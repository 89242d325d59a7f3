// The netdisks people share on besides Baidu, as far as their links go: which addresses each one
// gives out, the share a link names, and the code a link carries. Baidu's own rules stay in
// share_url.h (its rebuilt "https://pan…" addresses are the list's shape); this is what finds the
// others in forum text and in a row's cell.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

enum class ShareService : std::uint8_t { baidu, quark, aliyun, pan115, pan123, tianyi, lanzou };
inline constexpr std::size_t kServiceCount = 7;
// Services as indices of per-service arrays.
constexpr std::size_t service_index(ShareService service) {
  return static_cast<std::size_t>(service);
}
// A flag per service.
using ServiceFlags = std::array<bool, kServiceCount>;
inline constexpr ServiceFlags kEveryService = {true, true, true, true, true, true, true};

// Every service, Baidu first.
std::span<const ShareService> all_services();
// The service's stable name, as JSON and --services write it: "baidu", "quark", "aliyun",
// "115", "123pan", "tianyi", "lanzou".
std::string_view service_code(ShareService service);
std::optional<ShareService> service_of_code(std::string_view code);

// A share link of a service other than Baidu found in a text.
struct ServiceLink {
  ShareService service = ShareService::quark;
  std::string id;    // the share within its service, as written (the service tells case apart)
  std::string url;   // the address the share is opened at: https, the service's own form
  std::string code;  // the code the link itself carries (?pwd=, ?password=, #…); "" when none
  std::size_t begin = 0;  // where the link stands in the text: its host's first byte…
  std::size_t end = 0;    // …and the byte after its last
};

// The links of Quark, Aliyun, 115, 123pan, Tianyi and Lanzou in `text`, in order. The text is
// GBK, as the list holds it (a double-byte character's second byte is never read as ASCII); a
// link may stand with or without its scheme, in any letter case of its host.
std::vector<ServiceLink> find_service_links(std::string_view text);

// The share of another service that an address names: `url` is "https://" and one link of
// find_service_links, nothing before or after it; nullopt otherwise.
std::optional<ServiceLink> service_link_of_url(std::string_view url);
// The service whose share an address names: another's (service_link_of_url) or Baidu.
ShareService service_of_url(std::string_view url);

// Where the first share link of another service stands in a piece of a line (from its host to
// its end), so that the piece's address is the link as found; nullopt for a piece that names
// Baidu's host, whose "pan" rule stays, or holds no such link.
struct TextSpan {
  std::size_t begin = 0;
  std::size_t end = 0;
};
std::optional<TextSpan> service_link_span(std::string_view piece);

// The service whose shares `host` (lower case) serves; nullopt for Baidu's and any other.
std::optional<ShareService> service_of_host(std::string_view host);

// `code` when it is a code these services give out (four to eight letters or digits), else "".
std::string usable_share_code(std::string_view code);

// The key a share is known by across spellings and mirrors: "quark:ID", "lanzou:ID", …
std::string service_share_key(const ServiceLink& link);

}  // namespace quorvex
