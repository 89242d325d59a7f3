#include "base/po_catalogue.h"

namespace quorvex {

namespace {

// Appends the strings of a line such as `msgid "a\n"`, decoded and joined; false when the line
// holds no closed one.
bool quoted_text(std::string_view line, std::string& out) {
  bool any = false;
  std::size_t at = line.find('"');
  while (at != std::string_view::npos) {
    std::string text;
    std::size_t i = at + 1;
    for (; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] != '\\' || i + 1 == line.size()) {
        text.push_back(line[i]);
        continue;
      }
      switch (line[++i]) {
        case 'n':
          text.push_back('\n');
          break;
        case 't':
          text.push_back('\t');
          break;
        case 'r':
          text.push_back('\r');
          break;
        default:  // \" \\ and anything else stand for themselves
          text.push_back(line[i]);
          break;
      }
    }
    if (i >= line.size()) break;  // never closed
    out += text;
    any = true;
    at = line.find('"', i + 1);
  }
  return any;
}

struct Entry {
  std::string id, plural, translation;
  bool fuzzy = false;
};

}  // namespace

std::map<std::string, PoMessage, std::less<>> parse_po(std::string_view text) {
  std::map<std::string, PoMessage, std::less<>> messages;
  Entry entry;
  std::string* field = nullptr;  // where a continued string goes
  bool in_entry = false;
  const auto finish = [&] {
    if (in_entry && !entry.id.empty() && !entry.fuzzy && !entry.translation.empty())
      messages[entry.id] = PoMessage{entry.plural, entry.translation};
    entry = Entry{};
    field = nullptr;
    in_entry = false;
  };
  bool fuzzy_next = false;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    line.remove_prefix(first);
    if (line.starts_with("#,")) {
      if (line.find("fuzzy") != std::string_view::npos) fuzzy_next = true;
      continue;
    }
    if (line.front() == '#') continue;
    if (line.starts_with("msgid_plural")) {
      field = &entry.plural;
    } else if (line.starts_with("msgid")) {
      finish();
      in_entry = true;
      entry.fuzzy = fuzzy_next;
      fuzzy_next = false;
      field = &entry.id;
    } else if (line.starts_with("msgstr[0]") || line.starts_with("msgstr ") ||
               line.starts_with("msgstr\"")) {
      field = &entry.translation;
    } else if (line.starts_with("msgstr[")) {
      field = nullptr;  // further plural forms: one form serves a language without plurals
      continue;
    } else if (line.front() != '"') {
      field = nullptr;
      continue;
    }
    if (field) quoted_text(line, *field);
  }
  finish();
  return messages;
}

}  // namespace quorvex
