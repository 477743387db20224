# Defines quillon_test_support, the harness that test suites use to drive the simulated
# ScanTool.  Included from the top of tests/CMakeLists.txt (so that every suite can link it,
# whatever its folder's name) and again from this folder's CMakeLists; the guard keeps one.
if(NOT TARGET quillon_test_support)
  set(_support ${CMAKE_CURRENT_LIST_DIR})
  quillon_library(quillon_test_support SOURCES
    ${_support}/sim_harness.cpp ${_support}/sim_harness.h
    ${_support}/sim_log_parse.cpp ${_support}/sim_log_parse.h)
  target_compile_definitions(quillon_test_support PRIVATE
    QUILLON_SIMULATOR="${PROJECT_SOURCE_DIR}/tools/scantool_sim.py")
endif()
