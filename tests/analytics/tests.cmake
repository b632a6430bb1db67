# The analytics tests post to a real collector: started per test program on
# Linux, the one scripts/test-all.sh starts for the Windows run.
target_sources(talvorin_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/analytics/collector_fixture.cpp)
if(NOT WIN32)
  add_dependencies(talvorin_tests talvorin-collector)
endif()
