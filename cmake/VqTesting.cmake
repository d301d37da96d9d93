# vq_add_test(NAME SOURCES a.cpp b.cpp LIBS x y [LABELS l])
# One GoogleTest executable; every case becomes a CTest test. Widget tests
# run offscreen; tests/common/TestEnv.cpp sets the environment they expect.
function(vq_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT TARGET GTest::gtest_main)
    find_package(GTest REQUIRED)
  endif()
  add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/common/TestEnv.cpp)
  target_compile_definitions(${name} PRIVATE
    VQ_TEST_BIN_DIR_DEFAULT="${CMAKE_BINARY_DIR}/bin"
    VQ_SOURCE_DIR_DEFAULT="${CMAKE_SOURCE_DIR}")
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test GTest::gtest GTest::gmock GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      TIMEOUT 300
      LABELS "${T_LABELS}")
endfunction()
