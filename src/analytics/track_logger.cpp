#include "analytics/track_logger.h"

#include "analytics/sdk/file_path.h"

namespace zorvan::analytics {

NativeTrackLogger::NativeTrackLogger(const std::string& path)
    : out_(zv_transport::FilePath(path), std::ios::binary | std::ios::app) {}

NativeTrackLogger::~NativeTrackLogger() { close(); }

void NativeTrackLogger::write(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (out_.is_open()) out_ << line << "\r\n" << std::flush;
}

void NativeTrackLogger::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (out_.is_open()) out_.close();
}

}  // namespace zorvan::analytics
