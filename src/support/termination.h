// Requests from outside to end the program: SIGTERM, SIGINT and SIGHUP on
// Linux; Ctrl+C, Ctrl+Break, closing the console and the end of the session
// on Windows (the window passes on the session's end with
// RequestTermination). Each request reaches the one handler on an ordinary
// thread, never inside a signal handler, so the handler may log, lock and
// send; it is expected to end the process. Only the first request runs it.
#pragma once

#include <functional>
#include <string>

namespace Utils {

using TerminationHandler = std::function<void(const std::wstring& reason)>;

// Installs `handler` for the rest of the process and starts listening.
void WatchTerminationRequests(TerminationHandler handler);

// A request from inside the program; runs the handler on the calling thread.
// Without a handler, or after the first request, nothing happens.
void RequestTermination(const std::wstring& reason);

// Per OS: starts delivering the system's requests to RequestTermination.
void ListenForSystemTerminationRequests();

}  // namespace Utils
