#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that is not part of Windows
# itself (a toolchain runtime such as libstdc++-6.dll or zlib1.dll).
set -euo pipefail
objdump=$1; shift
system_dlls=' kernel32.dll user32.dll gdi32.dll gdiplus.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll oleaut32.dll comctl32.dll comdlg32.dll imm32.dll netapi32.dll wtsapi32.dll bcrypt.dll crypt32.dll secur32.dll ws2_32.dll wldap32.dll urlmon.dll wininet.dll iphlpapi.dll msvcrt.dll version.dll winmm.dll userenv.dll normaliz.dll dwmapi.dll uxtheme.dll msimg32.dll winhttp.dll wintrust.dll '
status=0
for exe in "$@"; do
  while read -r dll; do
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    case "$lower" in api-ms-win-*) continue ;; esac
    if [[ "$system_dlls" != *" $lower "* ]]; then
      echo "$(basename "$exe") imports $dll, which Windows does not ship"
      status=1
    fi
  done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done
[ $status -eq 0 ] && echo "only system DLLs imported by: $(for e in "$@"; do basename "$e"; done | tr '\n' ' ')"
exit $status
