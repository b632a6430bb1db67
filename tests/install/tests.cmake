# The installation tests run the demo package, its uninstaller and its
# product as real child processes, and download the package from the
# package server (which serves the build's demo package by "file=").
target_sources(talvorin_tests PRIVATE install/install_recorder.cpp)
add_dependencies(talvorin_tests talvorin-demo-package)
