# The LZMA SDK's C 7z decoder, compiled from the files scripts/lzma-sdk.sh
# copies out of Debian's source package `7zip`. Both builds (and the fuzzer's
# clang build) share one copy, so the package is fetched once per tree.
#
# Defines the static library talvorin_lzma; its headers come as system
# headers so that our own strict warnings do not judge them.

set(TALVORIN_LZMA_SDK_DIR "${CMAKE_CURRENT_LIST_DIR}/../build/lzma-sdk"
    CACHE PATH "Folder holding the LZMA SDK's C decoder files")
get_filename_component(TALVORIN_LZMA_SDK_DIR "${TALVORIN_LZMA_SDK_DIR}" ABSOLUTE)

set(talvorin_lzma_sources
  7zArcIn.c 7zDec.c 7zStream.c 7zBuf.c 7zCrc.c 7zCrcOpt.c 7zAlloc.c
  Lzma2Dec.c LzmaDec.c Bcj2.c Bra.c Bra86.c BraIA64.c CpuArch.c Delta.c)

if(NOT EXISTS "${TALVORIN_LZMA_SDK_DIR}/.complete")
  execute_process(
    COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/../scripts/lzma-sdk.sh" "${TALVORIN_LZMA_SDK_DIR}"
    RESULT_VARIABLE talvorin_lzma_result)
  if(NOT talvorin_lzma_result EQUAL 0)
    message(FATAL_ERROR "The LZMA SDK sources are missing and scripts/lzma-sdk.sh could not fetch them")
  endif()
endif()

if(NOT TARGET talvorin_lzma)
  list(TRANSFORM talvorin_lzma_sources PREPEND "${TALVORIN_LZMA_SDK_DIR}/")
  add_library(talvorin_lzma STATIC ${talvorin_lzma_sources})
  target_include_directories(talvorin_lzma SYSTEM PUBLIC "${TALVORIN_LZMA_SDK_DIR}")
  # Third-party code: it is compiled with every warning it takes today, but a
  # new Debian release of it must not break our build, so no -Werror here.
  target_compile_options(talvorin_lzma PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion)
  if(TALVORIN_LZMA_EXTRA_FLAGS)  # the fuzzer's build adds its instrumentation
    target_compile_options(talvorin_lzma PRIVATE ${TALVORIN_LZMA_EXTRA_FLAGS})
  endif()
  if(TALVORIN_SANITIZE AND NOT WIN32)
    # The decoder reads little-endian words at any address on purpose (x86
    # allows it), which the alignment check would stop at once.
    target_compile_options(talvorin_lzma PRIVATE
      -fsanitize=address,undefined -fno-sanitize=alignment -fno-sanitize-recover=undefined
      -fno-omit-frame-pointer)
  endif()
endif()
