// The file operations the installation stages need beyond support/file_system.h.
#pragma once

#include <string>

namespace Installer {

// Deletes a file; a missing file is no error. True when no file is left.
bool DeleteFileQuietly(const std::wstring& path);
// Copies `from` onto `to`, replacing what is there.
bool CopyFileReplacing(const std::wstring& from, const std::wstring& to);
// Lets the owner run the file (POSIX: adds the execute bits wherever the file
// is readable). Windows runs any program file: nothing to do there.
bool MakeExecutable(const std::wstring& path);
// The write test of a download failure: creates `path` anew for reading and
// writing, closes it and deletes it. True when all of that worked.
bool CanCreateFile(const std::wstring& path);
// The folder that names the volume of `path` for a free-space query: on
// Windows its drive ("C:\"), elsewhere the folder that holds it.
std::wstring VolumeOf(const std::wstring& path);

}  // namespace Installer
