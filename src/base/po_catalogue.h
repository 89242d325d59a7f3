// Translations kept as GNU gettext's .po files, the form translators' tools read and write, read
// without libintl (which the Windows build cannot link): the catalogue is compiled into the
// program and parsed once.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace quorvex {

struct PoMessage {
  std::string plural;       // msgid_plural, "" for a message without one
  std::string translation;  // msgstr, or msgstr[0] for one with a plural
};

// The messages of a .po text by msgid: the header (empty msgid), entries marked fuzzy and entries
// not yet translated are left out. Adjacent strings are joined and C escapes (\n \t \" \\)
// decoded; a line the format does not know is skipped.
std::map<std::string, PoMessage, std::less<>> parse_po(std::string_view text);

}  // namespace quorvex
