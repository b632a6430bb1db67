#include <chrono>
#include <cstdio>
#include <thread>

#include "demo.h"

namespace Demo {

ProtocolOutput::ProtocolOutput(const Switches& switches)
    : silent_(switches.count("silent") != 0),
      split_(switches.count("split") != 0),
      crlf_(switches.count("crlf") != 0) {}

void ProtocolOutput::Write(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void ProtocolOutput::Line(const std::string& text, bool lineEnd) {
  if (silent_) return;
  const std::string bytes = lineEnd ? text + (crlf_ ? "\r\n" : "\n") : text;
  if (split_ && bytes.size() > 1) {
    // The reader sees the first half alone: it has read it before the rest exists.
    const std::size_t half = bytes.size() / 2;
    Write(bytes.substr(0, half));
    Pause(150);
    Write(bytes.substr(half));
    return;
  }
  Write(bytes);
}

void ProtocolOutput::Raw(const std::string& bytes) {
  if (!silent_) Write(bytes);
}

void Pause(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace Demo
