// What the environment says about how probes fetch, for the window and the command line alike:
//   QUORVEX_CA_FILE     a PEM file of authorities to trust besides the system's (for people whose
//                       network presents its own certificates);
//   QUORVEX_CONNECT_TO  "HOST:PORT:ADDRESS:PORT", several separated by ",": connections for
//                       HOST:PORT go to ADDRESS:PORT (a stand-in of the service, for testing);
//                       the requests and the certificate check stay those of HOST.
#pragma once

#include <optional>
#include <string>

#include "check/probe.h"

namespace quorvex {

ProbeSettings probe_settings_from_environment();

// Why a CA file cannot be used (missing, unreadable, no certificate in it); nullopt when it can.
std::optional<std::string> ca_file_problem(const std::string& path);
// The same for the CA file the settings name, when they check certificates with it; both programs
// ask before a run, since without the authority every answer would look forged.
std::optional<std::string> unusable_ca_file(const ProbeSettings& settings);

}  // namespace quorvex
