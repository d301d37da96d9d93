# Writing and reading .q70 files for generated sites (the compressor library).
find_package(benchmark REQUIRED)
add_executable(bench_q70 ${CMAKE_CURRENT_LIST_DIR}/bench_q70.cpp)
target_include_directories(bench_q70 PRIVATE ${CMAKE_SOURCE_DIR}/components/ns2vq/src)
target_link_libraries(bench_q70 PRIVATE ns2vq benchmark::benchmark)
