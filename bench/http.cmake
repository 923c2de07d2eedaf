# http_get against a local server beside the curl command-line tool (run it from a release build).
add_executable(http_bench ${CMAKE_CURRENT_LIST_DIR}/http_bench.cpp)
target_link_libraries(http_bench PRIVATE quorvelv_core PkgConfig::HTTPLIB Threads::Threads)
