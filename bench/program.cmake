# The program's own figures (measuring runs, not timed tests): start to first show and peak memory of the
# program under test, and the refresh from the click to the last row with the longest stall of the
# user-interface thread. Both need the test helpers, so they come with the tests.
if(TARGET quorvelv_gui AND TARGET quorvelv_test_server AND TARGET quorvelv_under_test)
    add_executable(program_refresh_bench ${CMAKE_CURRENT_LIST_DIR}/program_refresh_bench.cpp)
    target_link_libraries(program_refresh_bench PRIVATE
        quorvelv_gui quorvelv_test_server quorvelv_listing_fixtures Qt6::Test)

    add_executable(program_startup_bench ${CMAKE_CURRENT_LIST_DIR}/program_startup_bench.cpp)
    target_link_libraries(program_startup_bench PRIVATE quorvelv_test_server quorvelv_listing_fixtures)
    target_compile_definitions(program_startup_bench PRIVATE
        QUORVELV_PROGRAM_UNDER_TEST="$<TARGET_FILE:quorvelv_under_test>")
    add_dependencies(program_startup_bench quorvelv_under_test)
endif()
