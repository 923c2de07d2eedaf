# parse_listing_page on pages of the site's layout, beside the plain engine and a plain memmem scan.
if(NOT TARGET quorvelv_listing_fixtures)
    add_library(quorvelv_listing_fixtures STATIC ${PROJECT_SOURCE_DIR}/tests/listing/listing_page_builder.cpp)
    target_link_libraries(quorvelv_listing_fixtures PUBLIC quorvelv_core)
endif()
add_executable(parse_bench ${CMAKE_CURRENT_LIST_DIR}/parse_bench.cpp)
target_link_libraries(parse_bench PRIVATE quorvelv_listing_fixtures benchmark::benchmark)
