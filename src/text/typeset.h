// Typesetting of forum text into one line per share link.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quorvex {

// Lays text out into one CR LF line per line holding "pan": the link line joined with its
// surviving title lines above and code lines below, every blank removed, and two blanks put before
// each "链接", "密码" and "激活码". set_title receives title_prefix plus each progress text, only
// when the title's text changes.
std::string typeset_share_text(std::string_view text, std::string_view title_prefix = {},
                               const std::function<void(const std::string&)>& set_title = {});

}  // namespace quorvex
