// libFuzzer target over what a list line and an input file decide: the address a row is fetched
// and opened at, and the decoders of every encoding a file may come in. No crash, and no address
// is ever accepted but one on Baidu's share host or on a host of the share's own service.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/charset.h"
#include "base/text_ops.h"
#include "model/link_table.h"
#include "model/share_services.h"
#include "model/share_url.h"
#include "text/file_input.h"
#include "text/link_loader.h"

namespace {

// Whether url, as a client would parse it, names the share host over https with nothing else in
// its authority.
bool names_only_the_share_host(std::string_view url) {
  constexpr std::string_view kStart = "https://pan.baidu.com";
  if (url.size() < kStart.size() || !quorvex::equals_nocase(url.substr(0, kStart.size()), kStart))
    return false;
  const std::string_view rest = url.substr(kStart.size());
  return rest.empty() || rest.front() == '/' || rest.front() == '?' || rest.front() == '#';
}

// Whether url is another service's share address whose whole authority is that service's host:
// no user name, no port, nothing a client would read as another host.
bool names_only_its_services_host(std::string_view url) {
  const std::optional<quorvex::ServiceLink> link = quorvex::service_link_of_url(url);
  if (!link) return false;
  std::string_view rest = url.substr(8);
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  std::string host;
  for (const char c : authority) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') return false;
    host.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return quorvex::service_of_host(host) == link->service;
}

bool names_only_a_share_host(std::string_view url) {
  return names_only_the_share_host(url) || names_only_its_services_host(url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvex;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // Addresses: every accepted one is on the share host, and its identity is a share's.
  for (const std::string& url : {bytes, rebuild_share_url(bytes), share_url_of_row(bytes, "")}) {
    if (is_share_url(url)) {
      if (!names_only_a_share_host(url)) __builtin_trap();
      if (share_identity(url).empty() || share_id(url).empty()) __builtin_trap();
    }
    if (is_share_host_url(url) && !names_only_the_share_host(url)) __builtin_trap();
    url_path(url);
  }
  const std::vector<LinkRow> rows = build_link_rows(bytes);
  for (const LinkRow& row : rows) {
    const std::string url = share_url_of_row(row.cell(kColumnLink), row.cell(kColumnName));
    if (is_share_url(url) && !names_only_a_share_host(url)) __builtin_trap();
  }
  // A list kept as the lines of its text reads as the rows cut from it one by one.
  LinkTable table;
  const auto text = std::make_shared<const std::string>(bytes);
  table.replace_lines(text, index_lines(*text));
  if (table.row_count() != static_cast<int>(rows.size())) __builtin_trap();
  std::string url;
  table.for_each_row([&](int r, const RowView& row) {
    const LinkRow& want = rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < kColumnCount; ++c)
      if (row.cell(c) != want.cell(c)) __builtin_trap();
    row.share_url_into(url);
    if (url != share_url_of_row(want.cell(kColumnLink), want.cell(kColumnName))) __builtin_trap();
  });

  // Decoders, behind each byte-order mark and none, and through the stream reader.
  for (const std::string_view mark : {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
    std::string input(mark);
    input += bytes;
    DecodeNotes notes;
    const std::string text = decode_input_bytes(input, &notes);
    // NUL bytes are taken out, never kept, and what is said of the text stays within it.
    if (text.find('\0') != std::string::npos) __builtin_trap();
    if (notes.nul_bytes > input.size() || notes.bad_bytes > input.size()) __builtin_trap();
    // ASCII loses its NULs and nothing else.
    const Utf8Tally tally = tally_utf8(input);
    if (tally.characters == 0 && tally.bad_bytes == 0) {
      std::string without = input;
      std::erase(without, '\0');
      if (normalize_line_ends(without) != text) __builtin_trap();
    }
  }
  if (size > 0) {
    std::FILE* stream = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    if (stream) {
      read_input_stream(stream, size / 2 + 1);
      std::fclose(stream);
    }
  }
  return 0;
}
