// The tracker's log file: made when missing, appended to line by line.
#pragma once

#include <fstream>
#include <mutex>
#include <string>

#include "analytics/analytics_tracker.h"

namespace zorvan::analytics {

class NativeTrackLogger : public TrackLogger {
 public:
  explicit NativeTrackLogger(const std::string& path);
  ~NativeTrackLogger() override;
  void write(const std::string& line) override;
  void close() override;

 private:
  std::mutex mutex_;
  std::ofstream out_;
};

}  // namespace zorvan::analytics
