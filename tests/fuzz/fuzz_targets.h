// The parsers' fuzz targets: each check runs one input through a parser the
// way the program does and answers what went wrong (empty: nothing).
#pragma once

#include "fuzz/fuzz_support.h"

namespace Fuzz {

std::string CheckSettingsFile(const std::uint8_t* data, std::size_t size);
std::string CheckCommandLine(const std::uint8_t* data, std::size_t size);
std::string CheckPackageProtocol(const std::uint8_t* data, std::size_t size);
std::string CheckRemovalProtocol(const std::uint8_t* data, std::size_t size);
std::string CheckHttpAnswer(const std::uint8_t* data, std::size_t size);
std::string CheckLocationReply(const std::uint8_t* data, std::size_t size);
std::string CheckAnalyticsIdentity(const std::uint8_t* data, std::size_t size);
std::string CheckStagingJournal(const std::uint8_t* data, std::size_t size);
std::string CheckRecordModel(const std::uint8_t* data, std::size_t size);
std::string CheckLayout(const std::uint8_t* data, std::size_t size);
std::string CheckSkinImage(const std::uint8_t* data, std::size_t size);
std::string CheckLanguageTable(const std::uint8_t* data, std::size_t size);
std::string CheckSkinArchive(const std::uint8_t* data, std::size_t size);


}  // namespace Fuzz
