// What the service modules share: the steps every answer can end in, the headers of a request,
// and a look into a JSON answer.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "base/json_reader.h"
#include "check/service_module.h"

namespace quorvex::services {

ServiceStep decided(Verdict verdict, Reason reason);
// The service asks this client to slow down.
ServiceStep throttled();
// Nothing the service said decides: the reason the HTTP status gives (403, 503, another server
// error, none at all), else no_marker.
ServiceStep undecided(int status);
// valid with need_code when the share asks for a code, public otherwise.
ServiceStep valid(bool needs_code);

// A request with the headers every API call sends (a browser's User-Agent, `accept`), and
// Origin and Referer when `site` is given.
ServiceRequest api_request(std::string method, std::string url, std::string_view accept,
                           std::string_view site = {});

// `text` as a JSON string's contents (quotes not included).
std::string json_escaped(std::string_view text);
// `text` with every byte but letters, digits and -._~ percent-encoded, for a query value.
std::string query_escaped(std::string_view text);

// Whether `text` holds any of `words`.
bool mentions(std::string_view text, std::initializer_list<std::string_view> words);
// A member's text, "" when it is missing or no string.
std::string_view text_of(const JsonValue* value);

const ServiceModule& quark_module();
const ServiceModule& aliyun_module();
const ServiceModule& pan115_module();
const ServiceModule& pan123_module();
const ServiceModule& tianyi_module();
const ServiceModule& lanzou_module();

}  // namespace quorvex::services
