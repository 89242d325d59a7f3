// The command line's language: Chinese for people whose locale is Chinese, English otherwise.
// Messages are written in English in the code, marked with tr() (trn() for one that has a
// plural, N_() for one kept in a table and looked up later), and translated by the catalogue
// po/zh_CN.po, compiled into the program; tools/po_template.sh lists the marked messages.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/po_catalogue.h"
#include "shell/shared_texts.h"

#if defined(__MINGW32__)
#define QUORVEX_FORMAT_ARG(n) __attribute__((format_arg(n)))
#define QUORVEX_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#elif defined(__GNUC__)
#define QUORVEX_FORMAT_ARG(n) __attribute__((format_arg(n)))
#define QUORVEX_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define QUORVEX_FORMAT_ARG(n)
#define QUORVEX_PRINTF(f, a)
#endif

namespace quorvex::cli {

// The language every later tr() speaks; English until set.
void set_language(Language language);
Language language();

// `english` in the chosen language: its translation when Chinese is chosen and the catalogue
// has one, else `english` itself. The text lives as long as the program.
const char* tr(const char* english) QUORVEX_FORMAT_ARG(1);
// The form for `n` of a message with a plural: in English the singular for 1 and the plural
// otherwise; Chinese has one form for every count.
const char* trn(const char* singular, const char* plural, unsigned long long n)
    QUORVEX_FORMAT_ARG(1) QUORVEX_FORMAT_ARG(2);
// Marks a message for the catalogue where it is written; tr() translates it where it is used.
constexpr const char* N_(const char* english) { return english; }

// printf into a string.
std::string format_text(const char* format, ...) QUORVEX_PRINTF(1, 2);

// A text made by filling a known English pattern ("%s is required": one %s a part) in the chosen
// language, when `text` is one such; `text` as it is otherwise. For the messages of the option
// parser and the verdict store, which are made in English where this layer cannot reach.
std::string translated_message(const std::string& text);

// The language a --lang value or a locale names: zh… is Chinese, en…, C and POSIX English;
// nullopt for any other.
std::optional<Language> language_named(std::string_view name);

// Where the language is read from, in the order a gettext program reads it.
struct LocaleSettings {
  std::string language;     // LANGUAGE: a list of languages, the first one counts
  std::string lc_all;       // LC_ALL
  std::string lc_messages;  // LC_MESSAGES
  std::string lang;         // LANG
  std::string system;       // the system's interface language (Windows), "" elsewhere
};
LocaleSettings locale_settings_of_environment();
// The first of LC_ALL, LC_MESSAGES and LANG that is set names the locale; LANGUAGE's first entry
// goes before it unless that locale is C or POSIX; with none set, the system's interface
// language. Chinese when what counts names Chinese, English otherwise.
Language language_of(const LocaleSettings& settings);

// The Chinese catalogue, by English message.
const std::map<std::string, PoMessage, std::less<>>& chinese_catalogue();

}  // namespace quorvex::cli
