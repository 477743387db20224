# Defines quillon_test_support, the harnesses that test suites use to drive the simulated
# ScanTool and the test update server.  Included from the top of tests/CMakeLists.txt (so that every suite can link it,
# whatever its folder's name) and again from this folder's CMakeLists; the guard keeps one.
if(NOT TARGET quillon_test_support)
  set(_support ${CMAKE_CURRENT_LIST_DIR})
  quillon_library(quillon_test_support SOURCES
    ${_support}/line_process.cpp ${_support}/line_process.h
    ${_support}/sim_harness.cpp ${_support}/sim_harness.h
    ${_support}/update_server_harness.cpp ${_support}/update_server_harness.h
    ${_support}/sim_log_parse.cpp ${_support}/sim_log_parse.h)
  target_compile_definitions(quillon_test_support PRIVATE
    QUILLON_SIMULATOR="${PROJECT_SOURCE_DIR}/tools/scantool_sim.py"
    QUILLON_UPDATE_SERVER="${PROJECT_SOURCE_DIR}/tools/update_server.py")
endif()
