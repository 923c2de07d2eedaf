# The skin file reader: any bytes, and documents written then read back.
quorvelv_add_fuzzer(skin_format_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/skin_format_fuzz.cpp
                    ${PROJECT_SOURCE_DIR}/engine/skin_format.cpp)
target_include_directories(skin_format_fuzz PRIVATE ${PROJECT_SOURCE_DIR})
