// The exception that pipe and process creation throw; callers catch it on
// their worker thread and turn it into a failure notification.
#pragma once

#include <exception>

namespace Utils {

class Exception : public std::exception {
 public:
  const char* what() const noexcept override { return ""; }
};

}  // namespace Utils
