#include "app/row_cells.h"

#include <algorithm>

#include "app/messages.h"
#include "model/share_url.h"

namespace quorvex {

std::optional<ShareService> row_service(const LinkTable& table, int row) {
  const std::string url =
      share_url_of_row(table.cell(row, kColumnLink), table.cell(row, kColumnName));
  if (!is_share_url(url)) return std::nullopt;
  return service_of_url(url);
}

namespace {

std::string other_service_name(std::optional<ShareService> service) {
  return service && *service != ShareService::baidu ? msg::kServiceNames[service_index(*service)]
                                                    : "";
}

// Hue, saturation and value as whole numbers (0-359, 0-255, 0-255), and back; the shading of
// stored verdicts scales the value, as the toolkits' lighter and darker do.
struct Hsv {
  int h = -1, s = 0, v = 0;
};

Hsv to_hsv(Rgb c) {
  const int r = c.r, g = c.g, b = c.b;
  const int max = std::max({r, g, b}), min = std::min({r, g, b});
  Hsv out;
  out.v = max;
  const int delta = max - min;
  out.s = max == 0 ? 0 : (255 * delta + max / 2) / max;
  if (delta == 0) return out;
  double h;
  if (max == r)
    h = 60.0 * (g - b) / delta;
  else if (max == g)
    h = 120.0 + 60.0 * (b - r) / delta;
  else
    h = 240.0 + 60.0 * (r - g) / delta;
  if (h < 0) h += 360.0;
  out.h = static_cast<int>(h + 0.5) % 360;
  return out;
}

Rgb to_rgb(Hsv c) {
  const auto byte = [](double x) {
    return static_cast<unsigned char>(std::clamp(static_cast<int>(x + 0.5), 0, 255));
  };
  if (c.h < 0 || c.s == 0) return {byte(c.v), byte(c.v), byte(c.v)};
  const double s = c.s / 255.0, v = c.v;
  const double sector = c.h / 60.0;
  const int i = static_cast<int>(sector) % 6;
  const double f = sector - static_cast<int>(sector);
  const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (i) {
    case 0:
      return {byte(v), byte(t), byte(p)};
    case 1:
      return {byte(q), byte(v), byte(p)};
    case 2:
      return {byte(p), byte(v), byte(t)};
    case 3:
      return {byte(p), byte(q), byte(v)};
    case 4:
      return {byte(t), byte(p), byte(v)};
    default:
      return {byte(v), byte(p), byte(q)};
  }
}

Rgb lighter(Rgb c, int percent) {
  Hsv hsv = to_hsv(c);
  hsv.v = hsv.v * percent / 100;
  if (hsv.v > 255) {
    hsv.s = std::max(0, hsv.s - (hsv.v - 255));
    hsv.v = 255;
  }
  return to_rgb(hsv);
}

Rgb darker(Rgb c, int percent) {
  Hsv hsv = to_hsv(c);
  hsv.v = hsv.v * 100 / percent;
  return to_rgb(hsv);
}

}  // namespace

std::string reason_text(const RowVerdict& verdict, std::optional<ShareService> service) {
  std::string text(reason_label(verdict.reason));
  if (verdict.cached && !text.empty()) text += msg::kStoredMark;
  const std::string name = other_service_name(service);
  if (!name.empty()) text = text.empty() ? name : name + msg::kServiceSeparator + text;
  return text;
}

std::string status_tip(const RowVerdict& verdict, std::optional<ShareService> service,
                       const std::string& last_checked) {
  const std::string name = other_service_name(service);
  if (verdict.reason == Reason::none) return name;
  std::string tip(reason_label(verdict.reason));
  if (!name.empty()) tip = name + msg::kServiceSeparator + tip;
  if (verdict.cached) tip += msg::kFromStore;
  if (!last_checked.empty()) tip += msg::kLastChecked + last_checked;
  return tip;
}

std::optional<Rgb> verdict_colour(const RowVerdict& verdict, bool dark_background) {
  Rgb colour;
  switch (verdict.verdict) {
    case Verdict::valid:
      colour = dark_background ? Rgb{0x7e, 0xe2, 0xa0} : Rgb{0x1a, 0x7f, 0x37};
      break;
    case Verdict::invalid:
      colour = dark_background ? Rgb{0xff, 0x8a, 0x80} : Rgb{0xc6, 0x28, 0x28};
      break;
    case Verdict::unknown:
      colour = dark_background ? Rgb{0xff, 0xc4, 0x6b} : Rgb{0xa3, 0x52, 0x00};
      break;
    case Verdict::none:
      return std::nullopt;
  }
  if (verdict.cached) colour = dark_background ? darker(colour, 140) : lighter(colour, 160);
  return colour;
}

}  // namespace quorvex
