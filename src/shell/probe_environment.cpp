#include "shell/probe_environment.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace quorvex {

ProbeSettings probe_settings_from_environment() {
  ProbeSettings settings;
  if (const char* ca = std::getenv("QUORVEX_CA_FILE"); ca && *ca) settings.ca_file = ca;
  if (const char* to = std::getenv("QUORVEX_CONNECT_TO"); to && *to) {
    std::stringstream entries(to);
    std::string entry;
    while (std::getline(entries, entry, ','))
      if (!entry.empty()) settings.connect_to.push_back(entry);
  }
  return settings;
}

std::optional<std::string> ca_file_problem(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string(std::strerror(errno ? errno : ENOENT));
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  if (text.find("-----BEGIN CERTIFICATE-----") == std::string::npos)
    return std::string("no PEM certificate in it");
  return std::nullopt;
}

}  // namespace quorvex
