#include <cstdlib>
#include <sstream>

#include "demo.h"

namespace Demo {

namespace {

void AddItems(const std::string& list, Switches& switches) {
  std::stringstream items(list);
  for (std::string item; std::getline(items, item, ',');) {
    if (item.empty()) continue;
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) {
      switches[item] = "";
    } else {
      switches[item.substr(0, equals)] = item.substr(equals + 1);
    }
  }
}

}  // namespace

Switches ReadSwitches(const Arguments& arguments, const char* environmentVariable) {
  Switches switches;
  if (const char* value = std::getenv(environmentVariable)) AddItems(value, switches);
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i].rfind("-demo=", 0) == 0) AddItems(arguments[i].substr(6), switches);
  }
  return switches;
}

int SwitchNumber(const Switches& switches, const std::string& name, int fallback) {
  const auto found = switches.find(name);
  if (found == switches.end()) return fallback;
  return std::atoi(found->second.c_str());
}

std::string ArgumentValue(const Arguments& arguments, const std::string& prefix) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i].rfind(prefix, 0) == 0) return arguments[i].substr(prefix.size());
  }
  return {};
}

}  // namespace Demo
