# The control framework's tests, and the program that renders the skin's
# windows to PNG for docs/screenshots.
target_link_libraries(talvorin_tests PRIVATE talvorin_ui_framework)
target_sources(talvorin_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/framework/framework_test_support.cpp)

add_executable(talvorin-ui-screenshots ${CMAKE_CURRENT_LIST_DIR}/framework/screenshots_main.cpp
               ${CMAKE_CURRENT_LIST_DIR}/framework/framework_test_support.cpp)
target_include_directories(talvorin-ui-screenshots PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(talvorin-ui-screenshots PRIVATE talvorin_ui_framework)

# The Linux window host's test reads the X server's pixels and sends it real
# input (XTest) on a private Xvfb.
if(NOT WIN32)
  find_package(X11 REQUIRED)
  target_link_libraries(talvorin_tests PRIVATE X11::X11 X11::Xtst)
  # The screen reader's client the real window's test runs beside the program.
  configure_file(${CMAKE_CURRENT_LIST_DIR}/window/screen_reader_client.py
                 ${CMAKE_BINARY_DIR}/bin/screen_reader_client.py COPYONLY)
endif()
target_link_libraries(talvorin_tests PRIVATE talvorin_ui_window)
target_sources(talvorin_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/window/window_driver.cpp)

# The real program in its real window, driven through the system's own screen
# and input (real_window_test.cpp).
target_sources(talvorin_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/window/real_screen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/real_screen_${TALVORIN_OS_SUFFIX}.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/page_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window/real_window_driver.cpp)
