#include "shell/probe_environment.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "base/platform.h"

namespace quorvex {

ProbeSettings probe_settings_from_environment() {
  ProbeSettings settings;
  settings.ca_file = environment_variable("QUORVEX_CA_FILE").value_or("");
  if (const auto to = environment_variable("QUORVEX_CONNECT_TO"); to && !to->empty()) {
    std::stringstream entries(*to);
    std::string entry;
    while (std::getline(entries, entry, ','))
      if (!entry.empty()) settings.connect_to.push_back(entry);
  }
  return settings;
}

std::optional<std::string> ca_file_problem(const std::string& path) {
  errno = 0;
  std::FILE* in = open_file(path, "rb");
  if (!in) return std::string(std::strerror(errno ? errno : ENOENT));
  std::string text;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) text.append(buf, n);
  std::fclose(in);
  if (text.find("-----BEGIN CERTIFICATE-----") == std::string::npos)
    return std::string("no PEM certificate in it");
  return std::nullopt;
}

std::optional<std::string> unusable_ca_file(const ProbeSettings& settings) {
  if (settings.ca_file.empty() || settings.insecure) return std::nullopt;
  return ca_file_problem(settings.ca_file);
}

}  // namespace quorvex
