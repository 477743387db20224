# quillon_library(NAME [SOURCES...] [DEPS ...])
# A static library of one subsystem (or one window-free/Qt half of it).  Without SOURCES it
# takes every *.cpp of the calling folder but main.cpp (not of its subfolders).
function(quillon_library name)
  cmake_parse_arguments(Q "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT Q_SOURCES)
    file(GLOB Q_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(FILTER Q_SOURCES EXCLUDE REGEX "/main\\.cpp$")
  endif()
  add_library(${name} STATIC ${Q_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(Q_DEPS)
    target_link_libraries(${name} PUBLIC ${Q_DEPS})
  endif()
endfunction()

# quillon_gtest(NAME [QT_MAIN] SOURCES... DEPS ...): one GoogleTest executable registered with
# CTest.  QT_MAIN for widget tests: their main() creates a QApplication on the offscreen platform.
function(quillon_gtest name)
  cmake_parse_arguments(Q "QT_MAIN" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${Q_SOURCES})
  target_link_libraries(${name} PRIVATE ${Q_DEPS} GTest::gtest GTest::gmock)
  if(Q_QT_MAIN)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/qt_test_main.cpp)
    target_link_libraries(${name} PRIVATE Qt6::Widgets)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    QUILLON_SOURCE_DIR="${PROJECT_SOURCE_DIR}" QUILLON_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(NOT Q_TIMEOUT)
    set(Q_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${Q_TIMEOUT}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1")
endfunction()

# Where an installed program keeps the data it ships with.  Fixed, since the program finds it at
# run time as <prefix>/share/quillon next to <prefix>/bin (platform/paths.h).
set(QUILLON_INSTALL_DATADIR share/quillon)
