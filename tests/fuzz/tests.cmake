# Every fuzz target's check is linked into the test program, which replays
# the committed corpora (fuzz_corpus_replay_test.cpp) from a copy beside
# itself, so the Windows run reads them the same way.
target_sources(talvorin_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/fuzz_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_file_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/command_line_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_protocol_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_answer_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/raw_http_peer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/location_reply_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/analytics_identity_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/staging_journal_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_model_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layout_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skin_image_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/language_table_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skin_archive_fuzz.cpp)
if(WIN32)
  target_link_libraries(talvorin_tests PRIVATE ws2_32)
endif()
add_custom_target(talvorin_fuzz_corpus
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/bin/fuzz-corpus
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_CURRENT_LIST_DIR}/corpus ${CMAKE_BINARY_DIR}/bin/fuzz-corpus
  VERBATIM)
add_dependencies(talvorin_tests talvorin_fuzz_corpus)
