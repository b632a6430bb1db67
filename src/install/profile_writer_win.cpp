#include "install/profile_writer.h"

#include <windows.h>

namespace Installer {

bool WriteProfileValue(const std::wstring& section, const std::wstring& key,
                        const std::wstring& value, const std::wstring& filePath) {
  return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(),
                                    filePath.c_str()) != 0;
}

}  // namespace Installer
