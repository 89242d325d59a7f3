// libFuzzer target over what the service answers: the reading of a page (its charset, its visible
// text and title) and of the share-list API's JSON, and the verdicts on both. No crash, no hang,
// nothing read past the answer, and what a person sees is never more than the page held.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check/page_reading.h"
#include "check/probe.h"
#include "check/share_list.h"
#include "check/verdict_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvex;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const VisiblePage page = visible_page(bytes);
  if (page.title.size() + page.text.size() > bytes.size()) __builtin_trap();
  if (!page.text.empty() && (page.text.front() == ' ' || page.text.back() == ' ')) __builtin_trap();

  FetchResult result;
  result.status = 200;
  result.transfer.final_url = "https://pan.baidu.com/s/1x";
  // The first line, when there is one, stands for the answer's header lines.
  const std::size_t cut = bytes.find('\n');
  result.headers = cut == std::string::npos ? "" : bytes.substr(0, cut);
  result.body = cut == std::string::npos ? bytes : bytes.substr(cut + 1);
  declared_charset(result.headers, result.body);
  read_page(result);
  const Judgement on_page = judge_fetch(result);
  if (on_page.source != VerdictSource::page) __builtin_trap();

  const auto answer = read_share_list_answer(bytes);
  result.headers.clear();
  result.body = bytes;
  const Judgement on_list = judge_share_list(result);
  // An answer that is no JSON object decides nothing but the security check.
  if (!answer && !page_said_nothing(on_list) && on_list.outcome != Outcome::throttled)
    __builtin_trap();
  return 0;
}
