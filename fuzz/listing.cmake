# The listing core: text operations, the page parser with the default and with hostile configurations,
# and the parser's literal scan against the regex engine.
#
# The fuzzers explore the core's own code, so the core is built with coverage and the sanitizers in this
# build too (the fuzz folder is only part of fuzzing builds).
target_compile_options(quorvelv_core PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
if(NOT TARGET quorvelv_listing_fixtures)
    add_library(quorvelv_listing_fixtures STATIC ${PROJECT_SOURCE_DIR}/tests/listing/listing_page_builder.cpp)
    target_link_libraries(quorvelv_listing_fixtures PUBLIC quorvelv_core)
endif()
foreach(name listing_text_fuzz listing_text_to_int_fuzz listing_parse_fuzz listing_parse_config_fuzz listing_chain_fuzz)
    quorvelv_add_fuzzer(${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
    target_link_libraries(${name} PRIVATE quorvelv_listing_fixtures)
endforeach()
