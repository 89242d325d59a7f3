#include "check/share_chains.h"

#include <functional>
#include <string>
#include <string_view>

#include "model/share_url.h"

namespace quorvex {

ShareChains chain_shares(const LinkTable& table) {
  ShareChains c;
  struct Share {
    std::size_t hash;
    int row;
  };
  std::vector<Share> shares;
  std::string url, identity, other;
  table.for_each_row([&](int row, const RowView& r) {
    ++c.total;
    // Rows without a share address are decided apart, when the run starts.
    r.share_url_into(url);
    if (url.size() <= share_link_prefix.size() || !share_identity_into(url, identity)) {
      c.without_share.push_back(row);
      return;
    }
    shares.push_back({std::hash<std::string_view>{}(identity), row});
    // Baidu's identities are paths or whole addresses; another service's is "CODE:ID".
    const std::size_t colon = identity.find(':');
    const std::optional<ShareService> service =
        identity[0] == '/' || colon == std::string::npos
            ? std::nullopt
            : service_of_code(std::string_view(identity).substr(0, colon));
    c.present[service_index(service.value_or(ShareService::baidu))] = true;
    if (!service) return;
    if (c.services.size() <= static_cast<std::size_t>(row))
      c.services.resize(static_cast<std::size_t>(row) + 1, 0);
    c.services[static_cast<std::size_t>(row)] = static_cast<std::uint8_t>(*service);
  });
  RowView view;
  auto identity_of = [&](int row, std::string& out) {
    table.view_row(row, view);
    view.share_url_into(url);
    return share_identity_into(url, out);
  };
  std::size_t size = 1024;
  while (size < shares.size() * 2) size *= 2;
  std::vector<int> last_of(size, -1);  // by hash: the last share (an index into shares) so far
  for (int k = 0; k < static_cast<int>(shares.size()); ++k) {
    const Share& share = shares[static_cast<std::size_t>(k)];
    for (std::size_t i = share.hash & (size - 1);; i = (i + 1) & (size - 1)) {
      const int last = last_of[i];
      if (last < 0) {
        last_of[i] = k;
        break;
      }
      const Share& before = shares[static_cast<std::size_t>(last)];
      if (before.hash != share.hash || !identity_of(before.row, other) ||
          !identity_of(share.row, identity) || other != identity)
        continue;
      c.next_rows[before.row] = share.row;
      const auto first = c.first_rows.find(before.row);
      c.first_rows[share.row] = first == c.first_rows.end() ? before.row : first->second;
      last_of[i] = k;
      break;
    }
  }
  return c;
}

}  // namespace quorvex
