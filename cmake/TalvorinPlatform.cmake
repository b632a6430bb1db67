# Compiler settings shared by every target, and the helper that picks the
# per-OS implementation file of a module.

if(WIN32)
  set(TALVORIN_OS_SUFFIX win)
else()
  set(TALVORIN_OS_SUFFIX posix)
endif()

add_library(talvorin_options INTERFACE)
target_compile_options(talvorin_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # gcc 12 reports impossible overlaps inside libstdc++'s own string code when
  # it inlines short concatenations (gcc bug 105329); the warning is wrong there.
  target_compile_options(talvorin_options INTERFACE -Wno-restrict)
endif()

if(WIN32)
  # Wide Win32 APIs everywhere; Windows 7 is the oldest system the product supports.
  target_compile_definitions(talvorin_options INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 __USE_MINGW_ANSI_STDIO=1)
  # One self-contained executable: no libgcc, libstdc++ or winpthread DLLs beside it.
  target_link_options(talvorin_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

if(WIN32)
  # The Windows installer is what people download before anything else
  # happens, so its release build is made for size: -Os (it comes after the
  # build type's -O3 on the command line, and the last -O counts), each
  # function and datum in a section of its own, and the link drops every
  # section nothing reaches. The libraries of scripts/windows-deps.sh are
  # built the same way. Every target of the tree, so the tests run the code
  # as it ships. (Not for windres: these are no resource compiler options.)
  add_compile_options(
    "$<$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<CONFIG:Release>>:-Os>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffunction-sections;-fdata-sections>")
  add_link_options(-Wl,--gc-sections)
endif()

if(TALVORIN_SANITIZE AND NOT WIN32)
  target_compile_options(talvorin_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(talvorin_options INTERFACE -fsanitize=address,undefined)
endif()

# The threads of the downloaders, the orchestrator and the runner meet in
# few places; ThreadSanitizer watches them in a build of its own.
if(TALVORIN_TSAN AND NOT WIN32)
  if(TALVORIN_SANITIZE)
    message(FATAL_ERROR "TALVORIN_TSAN and TALVORIN_SANITIZE exclude each other")
  endif()
  target_compile_options(talvorin_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(talvorin_options INTERFACE -fsanitize=thread)
endif()

if(TALVORIN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Every file the targets run is instrumented for coverage and checked by
  # the sanitizers; the entry points add -fsanitize=fuzzer at their link.
  # Warnings stay, but the gcc build is the one that fails on them.
  set(talvorin_fuzz_flags
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(talvorin_options INTERFACE ${talvorin_fuzz_flags} -Wno-error)
  target_link_options(talvorin_options INTERFACE -fsanitize=address,undefined)
  # The 7z decoder reads unaligned words on purpose (see TalvorinLzmaSdk.cmake).
  set(TALVORIN_LZMA_EXTRA_FLAGS ${talvorin_fuzz_flags} -fno-sanitize=alignment)
endif()

# talvorin_os_sources(<target> <module>...): adds <module>_win.cpp or
# <module>_posix.cpp, so portable files never carry #ifdef forests.
function(talvorin_os_sources target)
  foreach(module IN LISTS ARGN)
    target_sources(${target} PRIVATE ${module}_${TALVORIN_OS_SUFFIX}.cpp)
  endforeach()
endfunction()

# talvorin_glob_sources(<target> <folder>...): adds every portable .cpp file
# below each folder and, of the per-OS files, only this build's (<name>_win.cpp
# or <name>_posix.cpp). Lets an area grow file by file without editing lists.
function(talvorin_glob_sources target)
  foreach(folder IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
    foreach(file IN LISTS found)
      if(file MATCHES "_(win|posix)\\.cpp$" AND NOT file MATCHES "_${TALVORIN_OS_SUFFIX}\\.cpp$")
        continue()
      endif()
      target_sources(${target} PRIVATE ${file})
    endforeach()
  endforeach()
endfunction()
