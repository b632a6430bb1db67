// Notification codes of the installation and removal stages (the download
// codes live in download/downloader.h; all share one number space).
#pragma once

#include <cstdint>

enum InstallCode : std::int32_t {
  IST_CODE_START = 2001,     // value 0
  IST_CODE_PROGRESS = 2002,  // value: 0 at the start, then the fraction a "Progress=" line gives
  IST_CODE_SUCCESS = 2003,   // value 0 for "State=Success", 1 when the package ended without a final line
  IST_CODE_FAIL = 2004,      // value 0 "State=Fail", 1000 "Error=", 2 the package could not start,
                             // 3 it crashed before a final line
  IST_CODE_INST_PATH = 3000,
  IST_CODE_EXE_PATH = 3001,
  IST_CODE_UNINST_EXE = 3002,
  IST_CODE_UNINST_EP = 3003,
  IST_CODE_START_URL = 3004,
  IST_CODE_STARTUP_STYLE = 3005,
  IST_CODE_TOP_SHOW_DETENTION = 3007,
  IST_CODE_FINISH_CLOSE_DETENTION = 3008,
  IST_CODE_MESSAGE = 3009,
};

enum RemovalCode : std::int32_t {
  UNIST_CODE_START = 5001,     // never sent by the remover; accepted by the orchestrator
  UNIST_CODE_PROGRESS = 5002,  // value 0 at the start, then a "Progress=" number
  UNIST_CODE_SUCCESS = 5003,   // value 0 for "State=Success", 1 when it ended without a final line
  UNIST_CODE_FAIL = 5004,      // value 1 the uninstaller is missing, 2 it could not start
  UNIST_CODE_ERROR = 5005,     // value 0: the uninstaller reported failure
};

// The value of IST_CODE_FAIL for a package that crashed before a final line.
inline constexpr double kPackageCrashed = 3;

// What a chunk of protocol output decided.
inline constexpr int kParseNothingFinal = 0;
inline constexpr int kParseSuccess = 1;
inline constexpr int kParseFailure = 1000;
