#include "model/verdict.h"

#include <array>

#include "base/gbk_literals.h"

namespace quorvex {

namespace {

struct ReasonText {
  Reason reason;
  std::string_view code;
  std::string_view label;
};

constexpr std::array<ReasonText, 26> kReasons = {{
    {Reason::need_code, "need_code", "需提取码"},
    {Reason::public_share, "public", "公开"},
    {Reason::deleted, "deleted", "已删除"},
    {Reason::cancelled, "cancelled", "已取消"},
    {Reason::expired, "expired", "已过期"},
    {Reason::blocked, "blocked", "违规屏蔽"},
    {Reason::not_found, "not_found", "不存在"},
    {Reason::frozen, "frozen", "已冻结"},
    {Reason::overused, "overused", "访问过多失效"},
    {Reason::empty_share, "empty_share", "空分享"},
    {Reason::forbidden, "forbidden", "禁止分享"},
    {Reason::wrong_code, "wrong_code", "提取码错误"},
    {Reason::not_share_link, "not_share_link", "不是分享链接"},
    {Reason::temporary, "temporary", "暂时不可访问"},
    {Reason::no_marker, "no_marker", "无法识别"},
    {Reason::verify, "verify", "安全验证"},
    {Reason::redirect, "redirect", "跳转站外"},
    {Reason::timeout, "timeout", "超时"},
    {Reason::network, "network", "网络错误"},
    {Reason::tls, "tls", "证书错误"},
    {Reason::http_403, "http_403", "HTTP 403"},
    {Reason::http_429, "http_429", "HTTP 429"},
    {Reason::http_503, "http_503", "HTTP 503"},
    {Reason::http_5xx, "http_5xx", "服务器错误"},
    {Reason::too_large, "too_large", "页面过大"},
    {Reason::no_resources, "no_resources", "本机资源不足"},
}};

constexpr std::array<Reason, kReasons.size()> kAll = [] {
  std::array<Reason, kReasons.size()> all{};
  for (std::size_t i = 0; i < kReasons.size(); ++i) all[i] = kReasons[i].reason;
  return all;
}();

const ReasonText* find(Reason reason) {
  for (const ReasonText& r : kReasons)
    if (r.reason == reason) return &r;
  return nullptr;
}

}  // namespace

std::string_view verdict_code(Verdict verdict) {
  switch (verdict) {
    case Verdict::valid:
      return "valid";
    case Verdict::invalid:
      return "invalid";
    case Verdict::unknown:
      return "unknown";
    case Verdict::none:
      break;
  }
  return {};
}

std::string_view reason_code(Reason reason) {
  const ReasonText* r = find(reason);
  return r ? r->code : std::string_view();
}

std::string_view reason_label(Reason reason) {
  const ReasonText* r = find(reason);
  return r ? r->label : std::string_view();
}

std::span<const Reason> all_reasons() { return kAll; }

std::string_view source_code(VerdictSource source) {
  return source == VerdictSource::api ? "api" : "page";
}

std::optional<VerdictSource> source_of_code(std::string_view code) {
  if (code == "page") return VerdictSource::page;
  if (code == "api") return VerdictSource::api;
  return std::nullopt;
}

std::string_view status_glyph(Verdict verdict) {
  switch (verdict) {
    case Verdict::valid:
      return gbk::kValidMark;
    case Verdict::invalid:
      return "x";
    case Verdict::unknown:
      return "?";
    case Verdict::none:
      break;
  }
  return {};
}

}  // namespace quorvex
