#include "cli/translate.h"

#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "base/platform.h"

namespace quorvex::cli {

// The bytes of po/zh_CN.po, compiled in by the build.
extern const unsigned char kChineseCatalogue[];
extern const std::size_t kChineseCatalogueSize;

namespace {

std::atomic<Language> g_language{Language::english};

// Messages made in English by the option parser and the verdict store, with "%s" for each part
// that varies; their translations keep the parts in the same order.
constexpr const char* kPatterns[] = {
    N_("The following argument was not expected: %s"),
    N_("The following arguments were not expected: %s"),
    N_("A subcommand is required"),
    N_("%s is required"),
    N_("%s excludes %s"),
    N_("%s requires %s"),
    N_("%s: %s not in %s"),
    N_("there is no verdict store at %s"),
    N_("cannot read the store %s: %s"),
    N_("cannot open the store %s: %s"),
    N_("cannot create the store %s: %s"),
    N_("the store %s holds no verdicts it can read"),
    N_("%s was written by a later version of Quorvex; it is left as it is"),
    N_("verdicts can no longer be written to %s: %s"),
    N_("the store %s cannot be written (%s)"),
    N_("it is opened for reading only"),
    N_("the store %s is a folder, not a store file"),
    N_("the store %s is not a regular file"),
    N_("%s was written by a later version of Quorvex (store version %s, this one knows %s); it "
       "is left as it is"),
    N_("the store %s cannot be read and cannot be moved aside: %s"),
    N_("the store %s could not be read (%s); it was moved to %s and a new one started"),
};

// What the store adds to a message when the run goes on without it.
constexpr const char* kNotKeptTail = N_("; verdicts are not kept this time");

// The parts of `text` where `pattern` has "%s", when it matches the whole of it.
std::optional<std::vector<std::string>> parts_of(std::string_view pattern, std::string_view text) {
  std::vector<std::string_view> pieces;
  for (std::size_t at = 0;;) {
    const std::size_t hole = pattern.find("%s", at);
    pieces.push_back(pattern.substr(at, hole == std::string_view::npos ? hole : hole - at));
    if (hole == std::string_view::npos) break;
    at = hole + 2;
  }
  if (!text.starts_with(pieces.front())) return std::nullopt;
  std::vector<std::string> parts;
  std::size_t at = pieces.front().size();
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    // The last piece closes the text; the ones between are found from the left.
    const std::size_t found =
        i + 1 == pieces.size()
            ? (text.ends_with(pieces[i]) ? text.size() - pieces[i].size() : std::string_view::npos)
            : text.find(pieces[i], at);
    if (found == std::string_view::npos || found < at ||
        (pieces[i].empty() && i + 1 < pieces.size()))
      return std::nullopt;
    parts.emplace_back(text.substr(at, found - at));
    at = found + pieces[i].size();
  }
  if (at != text.size()) return std::nullopt;
  return parts;
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

void set_language(Language language) { g_language.store(language); }

Language language() { return g_language.load(); }

const std::map<std::string, PoMessage, std::less<>>& chinese_catalogue() {
  static const auto catalogue = parse_po(
      std::string_view(reinterpret_cast<const char*>(kChineseCatalogue), kChineseCatalogueSize));
  return catalogue;
}

const char* tr(const char* english) {
  if (language() != Language::chinese) return english;
  const auto& catalogue = chinese_catalogue();
  const auto found = catalogue.find(std::string_view(english));
  return found == catalogue.end() ? english : found->second.translation.c_str();
}

const char* trn(const char* singular, const char* plural, unsigned long long n) {
  if (language() == Language::chinese) {
    const auto& catalogue = chinese_catalogue();
    const auto found = catalogue.find(std::string_view(singular));
    if (found != catalogue.end()) return found->second.translation.c_str();
  }
  return n == 1 ? singular : plural;
}

std::string format_text(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, again);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

std::string translated_message(const std::string& text) {
  if (language() != Language::chinese) return text;
  if (const std::string_view tail = kNotKeptTail;
      text.size() > tail.size() && std::string_view(text).ends_with(tail))
    return translated_message(text.substr(0, text.size() - tail.size())) + tr(kNotKeptTail);
  for (const char* pattern : kPatterns) {
    const auto parts = parts_of(pattern, text);
    if (!parts) continue;
    const std::string_view translation = tr(pattern);
    std::string out;
    std::size_t next = 0;
    for (std::size_t at = 0; at < translation.size();) {
      if (translation.compare(at, 2, "%s") == 0 && next < parts->size()) {
        // A part that is itself a known message (a validator's, say) is translated too.
        out += translated_message((*parts)[next++]);
        at += 2;
      } else {
        out += translation[at++];
      }
    }
    return out;
  }
  return text;
}

std::optional<Language> language_named(std::string_view name) {
  const std::string lower = lowered(name);
  if (lower.starts_with("zh")) return Language::chinese;
  if (lower.starts_with("en") || lower == "c" || lower.starts_with("c.") || lower == "posix")
    return Language::english;
  return std::nullopt;
}

LocaleSettings locale_settings_of_environment() {
  const auto get = [](const char* name) { return environment_variable(name).value_or(""); };
  return LocaleSettings{get("LANGUAGE"), get("LC_ALL"), get("LC_MESSAGES"), get("LANG"),
                        system_interface_language()};
}

Language language_of(const LocaleSettings& settings) {
  const std::string& locale = !settings.lc_all.empty()        ? settings.lc_all
                              : !settings.lc_messages.empty() ? settings.lc_messages
                                                              : settings.lang;
  const std::string lower = lowered(locale);
  const bool plain = lower.empty() || lower == "c" || lower.starts_with("c.") || lower == "posix";
  if (!settings.language.empty() && !plain) {
    const std::string first = settings.language.substr(0, settings.language.find(':'));
    if (const auto chosen = language_named(first)) return *chosen;
  }
  if (locale.empty()) return language_named(settings.system).value_or(Language::english);
  return lower.starts_with("zh") ? Language::chinese : Language::english;
}

}  // namespace quorvex::cli
