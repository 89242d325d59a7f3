// A row's verdict and the reason for it, as the status cell, its tooltip and the command line's
// JSON show them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace quorvex {

enum class Verdict : std::uint8_t { none, valid, invalid, unknown };

// Why a row got its verdict. Each reason has a stable ASCII code (for scripts) and a short
// Chinese label (for people); the page markers behind them are listed in docs/verdicts.md.
enum class Reason : std::uint8_t {
  none,
  // valid
  need_code,     // the page asks for the extraction code
  public_share,  // the page shows the share's files and when it expires
  // invalid
  deleted,
  cancelled,
  expired,
  blocked,  // taken down for infringing content
  not_found,
  frozen,
  overused,        // closed after too many visits
  empty_share,     // the share exists but holds no file
  forbidden,       // the service forbids sharing its files
  wrong_code,      // the code the link came with is not the share's
  not_share_link,  // the row holds no share address of the service; never fetched
  // unknown
  temporary,  // the service says the share cannot be reached for now
  no_marker,  // a page with none of the known phrases
  verify,     // the service asked for a security check (it throttles this client)
  redirect,   // the service sent the request to another site
  timeout,
  network,
  tls,  // the service's certificate was not accepted
  http_403,
  http_429,
  http_503,
  http_5xx,      // another server error
  too_large,     // the answer was far larger than any share page
  no_resources,  // this system kept refusing what the fetch needed (memory, descriptors)
};

std::string_view verdict_code(Verdict verdict);  // "valid", "invalid", "unknown"; "" for none
std::string_view reason_code(Reason reason);     // "need_code", "public", …; "" for none
std::string_view reason_label(Reason reason);    // UTF-8: 需提取码, 公开, …; "" for none
// Every reason but none, in the order above.
std::span<const Reason> all_reasons();

// The status cell's text of a verdict (GBK): "√" valid, "x" invalid, "?" unknown, "" none.
std::string_view status_glyph(Verdict verdict);

// What decided a fetched verdict: the share's page, or the share-list API asked when the page
// said nothing known.
enum class VerdictSource : std::uint8_t { page, api };
std::string_view source_code(VerdictSource source);  // "page", "api"
// The source of a code; nullopt for a code of neither.
std::optional<VerdictSource> source_of_code(std::string_view code);

struct RowVerdict {
  Verdict verdict = Verdict::none;
  Reason reason = Reason::none;
  bool cached = false;  // taken from the verdict store instead of a fetch
  friend bool operator==(const RowVerdict&, const RowVerdict&) = default;
};

}  // namespace quorvex
