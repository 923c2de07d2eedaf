# The add-resource window and the submission behind its Add button; the form body is plain core code.
target_sources(quorvelv_gui PRIVATE
    ${PROJECT_SOURCE_DIR}/ui/add_resource_window.cpp
    ${PROJECT_SOURCE_DIR}/site/submission.cpp)
target_sources(quorvelv_core PRIVATE ${PROJECT_SOURCE_DIR}/site/form_body.cpp)
