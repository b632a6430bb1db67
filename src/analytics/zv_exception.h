// The exception of the analytics wrapper's namespace: every validation
// failure of the tracker throws it, and the wrapper catches it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zorvan::analytics {

inline constexpr char kTrackerSourceFile[] = "analytics/AnalyticsTrackerImpl.cpp";
inline constexpr char kUserTrackerSourceFile[] = "analytics/NativeUserTracker.cpp";

class ZvException : public std::runtime_error {
 public:
  ZvException(const std::string& message, std::string file, std::string function, int line)
      : std::runtime_error(message), file_(std::move(file)), function_(std::move(function)),
        line_(line) {}
  const std::string& file() const { return file_; }
  const std::string& function() const { return function_; }
  int line() const { return line_; }
  std::int32_t code = -1;
  std::int32_t subCode = -1;

 private:
  std::string file_;
  std::string function_;
  int line_;
};

[[noreturn]] inline void ThrowZv(const std::string& function, const std::string& message,
                                 const char* file = kTrackerSourceFile, int line = 0) {
  throw ZvException(message, file, function, line);
}

}  // namespace zorvan::analytics
