// Why a download failed, in one classification that every place showing or
// reporting a failure uses: the unattended message, the window's dialog, the
// log and the analytics report. The texts a person reads are entries of one
// table keyed by the class (download_failure.cpp), so that translations can
// be added beside them.
#pragma once

#include <cstdint>
#include <string>

enum class FailureClass : std::int32_t {
  kUnknown = 0,
  kNoNetwork,          // no network, or the server's name was not resolved
  kConnectionRefused,  // the server refused or reset the connection
  kTimedOut,           // the transfer stalled, or the connection timed out
  kTlsUntrusted,       // the server's TLS certificate is not trusted for its host
  kHttpStatus,         // the server answered with an HTTP error status
  kShortBody,          // fewer bytes arrived than the server announced
  kDigestMismatch,     // the bytes are not the package the address promises
  kDigestUnavailable,  // the package's digest could not be computed
  kDigestMissing,      // the address carries no digest and one is required
  kDiskFull,           // the disk holding the target folder is full
  kNotWritable,        // the target folder cannot be written
  kProxyRefused,       // the proxy refused the connection or could not be reached
  kProxyAuth,          // the proxy wants authentication
  kPublisherRefused,   // the package lacks a valid signature of the configured publisher
};

struct DownloadFailure {
  FailureClass kind = FailureClass::kUnknown;
  std::wstring host;    // the server (or proxy) concerned, when known; the
                        // expected publisher of kPublisherRefused
  long status = 0;      // the HTTP status of kHttpStatus
  std::wstring folder;  // the folder of kDiskFull and kNotWritable
};

// The stable name of a class in logs and analytics ("tls-untrusted").
const char* FailureClassKey(FailureClass kind);

// How a libcurl result is classified. `httpStatus` is the status the last
// answer carried (0 when none), `address` the address asked for (its host is
// named), `targetPath` the file being written and `writeErrno` the C
// library's error number of a failed write (0 when none).
DownloadFailure ClassifyCurlResult(int curlCode, long httpStatus, const std::string& address,
                                   const std::wstring& targetPath, int writeErrno);
// The failure of writing or creating a file at `targetPath` with errno `error`.
DownloadFailure ClassifyFileError(int error, const std::wstring& targetPath);

// The host of an address ("https://user@host:443/x" gives "host").
std::wstring HostOf(const std::string& address);

// The text of DL_CODE_FAIL: the engine name, then the failure, so that the
// receiver on another thread gets everything in one notification:
// "LibCurl|http-status|127.0.0.1|500|". The folder comes last and may hold "|".
std::wstring FailureNotificationText(const wchar_t* engine, const DownloadFailure& failure);
// Reads such a text back; a plain engine name (or any other text) gives the
// engine name and an unknown failure.
DownloadFailure ParseFailureNotificationText(const std::wstring& text, std::wstring* engine = nullptr);

// One line for the log and the analytics report: "http-status 500 from 127.0.0.1".
std::wstring FailureSummary(const DownloadFailure& failure);

// What a person reads. The window's dialog text (the window's language,
// short enough for the network dialog), and the unattended mode's sentence.
std::wstring FailureWindowText(const DownloadFailure& failure);
std::string FailureConsoleText(const DownloadFailure& failure);
