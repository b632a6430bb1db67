# The installation tests run the demo package, its uninstaller and its
# product as real child processes, and download the package from the
# package server (which serves the build's demo package by "file=").
target_sources(talvorin_tests PRIVATE install/install_recorder.cpp)
add_dependencies(talvorin_tests talvorin-demo-package)

if(WIN32)
  # The demo package runs on machines without our build: system DLLs only.
  find_program(MINGW_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
  add_test(NAME demo_package_imports_only_system_dlls
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-windows-imports.sh ${MINGW_OBJDUMP}
            $<TARGET_FILE:talvorin-demo-package>)
  set_tests_properties(demo_package_imports_only_system_dlls PROPERTIES CROSSCOMPILING_EMULATOR "")
endif()
