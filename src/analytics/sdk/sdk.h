// The process-wide transport: identity (distinct id, login flag), common
// properties and the record queue. Every operation does nothing while no
// transport exists.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "analytics/sdk/http_post.h"
#include "analytics/sdk/journal_file.h"
#include "analytics/sdk/value_node.h"

namespace zv_transport {

class Sdk {
 public:
  // Creates the transport unless one exists (which is then kept as it is).
  // False when the distinct id breaks the identifier rule.
  static bool Init(const std::string& stagingFile, const PostTarget& server,
                   const std::string& distinctId, bool loginFlag);
  // Writes what is unsent to the staging file and ends the transport.
  static void Shutdown();
  static bool Exists();

  static void trackEvent(const std::string& eventName, const PropertiesNode& properties);
  static void trackSignup(const std::string& loginId);
  static void trackInstallation(const std::string& eventName, const PropertiesNode& properties);

  static void profileSet(const PropertiesNode& properties);
  static void profileSet(const std::string& key, const std::string& value);
  static void profileSet(const std::string& key, double value);
  static void profileSet(const std::string& key, bool value);
  static void profileSetOnce(const PropertiesNode& properties);
  static void profileSetOnce(const std::string& key, const std::string& value);
  static void profileSetOnce(const std::string& key, double value);
  static void profileSetOnce(const std::string& key, bool value);
  static void profileIncrement(const PropertiesNode& properties);
  static void profileIncrement(const std::string& key, std::int64_t value);
  static void profileAppend(const std::string& key, const std::string& value);

  static void registerCommonProperties(const PropertiesNode& properties);
  static void resetCommonProperties();

  // Sends everything queued; false when a batch failed, `deadline` came or
  // no transport exists.
  static bool Flush(std::chrono::steady_clock::time_point deadline =
                        std::chrono::steady_clock::time_point::max());
  // No request of the transport runs past `moment`.
  static void CutOff(std::chrono::steady_clock::time_point moment);
  // Forces the journal to disk.
  static bool Sync();
  static std::size_t QueuedCount();
  // The earliest moment the server wants the next batch.
  static std::chrono::steady_clock::time_point NotBefore();
  // The journal's crash segment, open for appending (kNoNativeFile without).
  static NativeFile CrashSegment();
  // The text of a "track" record as trackEvent would queue it now, without
  // queueing it (for records prepared in advance).
  static std::optional<std::string> BuildTrackRecordText(const std::string& eventName,
                                                         const PropertiesNode& properties);

  static std::string DistinctId();
  static bool LoginFlag();
};

}  // namespace zv_transport
