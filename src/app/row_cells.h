// What a list row shows beyond its GBK cells, whatever draws it: the reason column, the status
// cell's tooltip and the colour of a verdict.
#pragma once

#include <optional>
#include <string>

#include "model/link_table.h"
#include "model/share_services.h"

namespace quorvex {

struct Rgb {
  unsigned char r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// The service of the share a row holds; nullopt when it holds none.
std::optional<ShareService> row_service(const LinkTable& table, int row);

// The reason column (UTF-8): the reason, after the share's service when that is not Baidu (whose
// shares are the list's usual ones), marked when the verdict came from the store.
std::string reason_text(const RowVerdict& verdict, std::optional<ShareService> service);

// The status cell's tooltip (UTF-8; "" for none): the service and reason, where the verdict came
// from and when the share was last checked (`last_checked` "" when not known).
std::string status_tip(const RowVerdict& verdict, std::optional<ShareService> service,
                       const std::string& last_checked);

// Green, red and amber: dark shades on light lists, light ones on dark lists; a verdict from the
// store is paler (darker on dark lists): known, not fetched now. nullopt: no verdict, the list's
// own text colour.
std::optional<Rgb> verdict_colour(const RowVerdict& verdict, bool dark_background);

}  // namespace quorvex
