// The caller's public IP address and rough location, asked once per run of a
// location-and-time service on a background thread, with signed requests.
#pragma once

#include <cstdint>
#include <string>

namespace zorvan::analytics {

struct LocationResult {
  std::string ip, country, countryCode, province, city;
  bool present() const { return !ip.empty(); }
};

struct LocationServiceConfig {
  std::string url;       // the full address of the service's operation
  std::string caBundle;  // extra certificate authorities (PEM file), or empty
  std::string proxySetting = {};  // "ProxyUrl" (UTF-8): a proxy, "direct", or empty for the system's
};

class ZvLocationTime {
 public:
  static constexpr char kApiPath[] = "/api/location_and_time";
  static constexpr char kAccessKey[] = "QmTwPzKrVb7HsL4d";

  // Starts the lookup thread unless one runs or a result is already held.
  static void start(const LocationServiceConfig& config);
  // Copies a held result without waiting for the lookup; false otherwise.
  static bool takeResult(LocationResult& target);
  // Ends the lookup (within about 100 milliseconds) and forgets its result.
  static void stop();

  // The signature of a request at `unixSeconds`: 32 lower-case hex digits.
  static std::string Credential(std::int64_t unixSeconds);
  // Takes the members of a service reply into `result`; false when the reply
  // is not a JSON object mentioning "country".
  static bool ApplyReply(const std::string& body, LocationResult& result);
};

}  // namespace zorvan::analytics
