#include "analytics/sdk/sdk.h"

#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>

#include "analytics/sdk/record_builder.h"
#include "analytics/sdk/record_queue.h"
#include "analytics/sdk/validation.h"

namespace zv_transport {

namespace {

struct Transport {
  Transport(const PostTarget& server, const std::string& stagingFile)
      : queue(server, stagingFile) {}
  std::mutex stateMutex;  // common properties and identity
  PropertiesNode commonProperties;
  std::string distinctId;
  bool loginFlag = false;
  RecordQueue queue;
};

// Shared so that a call on another thread finishes with the transport it
// started with even while Shutdown runs. Never destroyed: a tracker released
// late in the process's exit still finds the lock and the pointer alive.
struct Instance {
  std::mutex mutex;
  std::shared_ptr<Transport> transport;
};
Instance& TheInstance() {
  static Instance* instance = new Instance;
  return *instance;
}

std::shared_ptr<Transport> Current() {
  Instance& instance = TheInstance();
  std::lock_guard<std::mutex> lock(instance.mutex);
  return instance.transport;
}

void ResetCommon(PropertiesNode& common) {
  common.Clear();
  common.SetString("$lib", kLibName);
  common.SetString("$lib_version", kLibVersion);
}

std::mutex randomMutex;

std::int64_t NewTrackId(std::int64_t now) {
  std::lock_guard<std::mutex> lock(randomMutex);
  const auto r1 = static_cast<unsigned>(std::rand());
  const auto r2 = static_cast<unsigned>(std::rand());
  return MakeTrackId(r1, r2, now);
}

std::optional<std::string> BuildText(const std::shared_ptr<Transport>& transport, const std::string& actionType,
                                     const std::string& eventName, const PropertiesNode& properties,
                                     const std::string* distinctIdOverride, const std::string& originalId) {
  RecordInput input{actionType, eventName, properties, {}, originalId};
  std::optional<utils::ObjectNode> record;
  {
    std::lock_guard<std::mutex> lock(transport->stateMutex);
    input.distinctId = distinctIdOverride != nullptr ? *distinctIdOverride : transport->distinctId;
    const std::int64_t now = NowMilliseconds();
    RecordContext context{&transport->commonProperties, transport->loginFlag, now, NewTrackId(now)};
    record = BuildRecord(input, context);
  }
  if (!record) return std::nullopt;
  return record->ToJson();
}

void Queue(const std::string& actionType, const std::string& eventName,
           const PropertiesNode& properties, const std::string* distinctIdOverride = nullptr,
           const std::string& originalId = std::string()) {
  const std::shared_ptr<Transport> transport = Current();
  if (!transport) return;
  const std::optional<std::string> text =
      BuildText(transport, actionType, eventName, properties, distinctIdOverride, originalId);
  if (text) transport->queue.Add(*text);
}

PropertiesNode OneString(const std::string& key, const std::string& value) {
  PropertiesNode properties;
  properties.SetString(key, value);
  return properties;
}
PropertiesNode OneNumber(const std::string& key, double value) {
  PropertiesNode properties;
  properties.SetNumber(key, value);
  return properties;
}
PropertiesNode OneBool(const std::string& key, bool value) {
  PropertiesNode properties;
  properties.SetBool(key, value);
  return properties;
}

}  // namespace

bool Sdk::Init(const std::string& stagingFile, const PostTarget& server,
               const std::string& distinctId, bool loginFlag) {
  if (!CheckIdentifier(distinctId, "Distinct ID")) return false;
  Instance& holder = TheInstance();
  std::lock_guard<std::mutex> lock(holder.mutex);
  if (holder.transport) return true;
  auto created = std::make_shared<Transport>(server, stagingFile);
  ResetCommon(created->commonProperties);
  created->distinctId = distinctId;
  created->loginFlag = loginFlag;
  {
    std::lock_guard<std::mutex> randomLock(randomMutex);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
  }
  holder.transport = std::move(created);
  return true;
}

void Sdk::Shutdown() {
  std::shared_ptr<Transport> ending;
  {
    Instance& holder = TheInstance();
    std::lock_guard<std::mutex> lock(holder.mutex);
    ending.swap(holder.transport);
  }
  if (ending) ending->queue.Close();
}

bool Sdk::Exists() { return Current() != nullptr; }

void Sdk::trackEvent(const std::string& eventName, const PropertiesNode& properties) {
  Queue("track", eventName, properties);
}

void Sdk::trackSignup(const std::string& loginId) {
  const std::shared_ptr<Transport> transport = Current();
  if (!transport) return;
  const std::string previous = DistinctId();
  Queue("track_signup", "$SignUp", PropertiesNode(), &loginId, previous);
  std::lock_guard<std::mutex> lock(transport->stateMutex);
  transport->distinctId = loginId;
  transport->loginFlag = true;
}

void Sdk::trackInstallation(const std::string& eventName, const PropertiesNode& properties) {
  PropertiesNode merged;
  merged.SetString("$ios_install_source", "");
  for (const auto& [key, value] : properties.entries()) merged.Set(key, value);
  Queue("track", eventName, merged);
}

void Sdk::profileSet(const PropertiesNode& properties) { Queue("profile_set", "", properties); }
void Sdk::profileSet(const std::string& key, const std::string& value) {
  profileSet(OneString(key, value));
}
void Sdk::profileSet(const std::string& key, double value) { profileSet(OneNumber(key, value)); }
void Sdk::profileSet(const std::string& key, bool value) { profileSet(OneBool(key, value)); }
void Sdk::profileSetOnce(const PropertiesNode& properties) {
  Queue("profile_set_once", "", properties);
}
void Sdk::profileSetOnce(const std::string& key, const std::string& value) {
  profileSetOnce(OneString(key, value));
}
void Sdk::profileSetOnce(const std::string& key, double value) {
  profileSetOnce(OneNumber(key, value));
}
void Sdk::profileSetOnce(const std::string& key, bool value) { profileSetOnce(OneBool(key, value)); }
void Sdk::profileIncrement(const PropertiesNode& properties) {
  Queue("profile_increment", "", properties);
}
void Sdk::profileIncrement(const std::string& key, std::int64_t value) {
  PropertiesNode properties;
  properties.SetInteger(key, value);
  profileIncrement(properties);
}
void Sdk::profileAppend(const std::string& key, const std::string& value) {
  PropertiesNode properties;
  properties.SetList(key, value);
  Queue("profile_append", "", properties);
}

void Sdk::registerCommonProperties(const PropertiesNode& properties) {
  const std::shared_ptr<Transport> transport = Current();
  if (!transport) return;
  std::lock_guard<std::mutex> lock(transport->stateMutex);
  for (const auto& [key, value] : properties.entries()) transport->commonProperties.Set(key, value);
}

void Sdk::resetCommonProperties() {
  const std::shared_ptr<Transport> transport = Current();
  if (!transport) return;
  std::lock_guard<std::mutex> lock(transport->stateMutex);
  ResetCommon(transport->commonProperties);
}

bool Sdk::Flush(std::chrono::steady_clock::time_point deadline) {
  const std::shared_ptr<Transport> transport = Current();
  return transport && transport->queue.Flush(deadline);
}

void Sdk::CutOff(std::chrono::steady_clock::time_point moment) {
  if (const std::shared_ptr<Transport> transport = Current()) transport->queue.CutOff(moment);
}

bool Sdk::Sync() {
  const std::shared_ptr<Transport> transport = Current();
  return transport && transport->queue.Sync();
}

std::size_t Sdk::QueuedCount() {
  const std::shared_ptr<Transport> transport = Current();
  return transport ? transport->queue.Size() : 0;
}

std::chrono::steady_clock::time_point Sdk::NotBefore() {
  const std::shared_ptr<Transport> transport = Current();
  return transport ? transport->queue.NotBefore() : std::chrono::steady_clock::time_point();
}

NativeFile Sdk::CrashSegment() {
  const std::shared_ptr<Transport> transport = Current();
  return transport ? transport->queue.CrashSegment() : kNoNativeFile;
}

std::optional<std::string> Sdk::BuildTrackRecordText(const std::string& eventName,
                                                     const PropertiesNode& properties) {
  const std::shared_ptr<Transport> transport = Current();
  if (!transport) return std::nullopt;
  return BuildText(transport, "track", eventName, properties, nullptr, std::string());
}

std::string Sdk::DistinctId() {
  const std::shared_ptr<Transport> transport = Current();
  if (!transport) return std::string();
  std::lock_guard<std::mutex> lock(transport->stateMutex);
  return transport->distinctId;
}

bool Sdk::LoginFlag() {
  const std::shared_ptr<Transport> transport = Current();
  if (!transport) return false;
  std::lock_guard<std::mutex> lock(transport->stateMutex);
  return transport->loginFlag;
}

}  // namespace zv_transport
