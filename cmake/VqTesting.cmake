# vq_add_test(NAME SOURCES a.cpp b.cpp LIBS x y [LABELS l])
# One GoogleTest executable; every case becomes a CTest test. Widget tests
# run offscreen.
function(vq_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT TARGET GTest::gtest_main)
    find_package(GTest REQUIRED)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VQ_TEST_BIN_DIR=${CMAKE_BINARY_DIR}/bin;VQ_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
      TIMEOUT 300
      LABELS "${T_LABELS}")
endfunction()
