// The analytics client's identity file: read at start, written back, and
// read again on the next run, which must find the same identity.
#include "fuzz/fuzz_targets.h"

#include "analytics/local_state.h"

namespace Fuzz {

namespace {

struct Identity {
  std::string distinctId, primaryDistinctId, userId, storedUrl;
  std::int32_t vip = 0;
  bool loggedIn = false;
  bool operator==(const Identity&) const = default;
};

Identity Load(const std::string& file) {
  zorvan::analytics::LocalState state("");
  state.folder = PathUtf8(ScratchFolder());
  state.configFile = file;
  state.load();
  return {state.distinctId, state.primaryDistinctId, state.userId, state.storedUrl, state.userVipLevel,
          state.loggedIn};
}

}  // namespace

std::string CheckAnalyticsIdentity(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path path = ScratchFolder() / "identity.ini";
  WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string file = PathUtf8(path);

  zorvan::analytics::LocalState state("");
  state.folder = PathUtf8(ScratchFolder());
  state.configFile = file;
  state.load();
  state.loadLocation();
  const zorvan::analytics::LocationResult location = state.lastLocation;
  const Identity read{state.distinctId, state.primaryDistinctId, state.userId, state.storedUrl,
                      state.userVipLevel, state.loggedIn};
  if (read.distinctId.empty()) return "no identity after loading";

  // What a run leaves behind, the next run reads as it was; a first run
  // writes its new distinct id with an empty primary one, which the next run
  // reads as the distinct id.
  state.save();
  Identity expected = read;
  if (expected.primaryDistinctId.empty()) expected.primaryDistinctId = expected.distinctId;
  const Identity again = Load(file);
  if (!(again == expected)) {
    return "the identity read back after saving differs: [" + expected.distinctId + "|" +
           expected.primaryDistinctId + "|" + expected.userId + "|" + expected.storedUrl + "|" +
           std::to_string(expected.vip) + "] became [" + again.distinctId + "|" + again.primaryDistinctId + "|" +
           again.userId + "|" + again.storedUrl + "|" + std::to_string(again.vip) + "]";
  }
  state.loadLocation();
  if (state.lastLocation.ip != location.ip || state.lastLocation.city != location.city ||
      state.lastLocation.country != location.country || state.lastLocation.countryCode != location.countryCode ||
      state.lastLocation.province != location.province)
    return "saving the identity changed the stored location";
  return {};
}

}  // namespace Fuzz
