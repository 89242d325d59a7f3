// Typesetting of forum text into one line per share link.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quorvex {

// How far typesetting has come: the lines are read (with the share of lines read, in per cent),
// the records are being joined, or all is done.
struct TypesetProgress {
  enum class Stage { reading, joining, done };
  Stage stage = Stage::reading;
  int percent = 0;  // of the lines read: the integer part of (i / n) x 100 in double precision
};

// Lays text out into one CR LF line per line holding "pan": the link line joined with its
// surviving title lines above and code lines below, every blank removed, and two blanks put before
// each "链接", "密码" and "激活码". progress is told of each new per cent while reading, then of
// the joining and of the end.
std::string typeset_share_text(std::string_view text,
                               const std::function<void(const TypesetProgress&)>& progress = {});

}  // namespace quorvex
