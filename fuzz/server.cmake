# The site's publishing-body decoder and the escaping of what it yields.
quorvelv_add_fuzzer(server_form_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/server_form_fuzz.cpp)
target_link_libraries(server_form_fuzz PRIVATE quorvelv_site_server_lib)
set_target_properties(server_form_fuzz PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
