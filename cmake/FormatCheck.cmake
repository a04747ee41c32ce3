# format-check: every C++ file of src/, tests/ and bench/ is as .clang-format writes it.
# format: rewrites them so (one pass after merges; see scripts/format.sh).
find_program(CLANG_FORMAT_PROGRAM NAMES clang-format clang-format-14)
if(CLANG_FORMAT_PROGRAM)
    add_custom_target(format-check
        COMMAND ${CMAKE_COMMAND} -E env CLANG_FORMAT=${CLANG_FORMAT_PROGRAM}
                bash ${PROJECT_SOURCE_DIR}/scripts/format.sh --check
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Checking the layout of the C++ files against .clang-format"
        VERBATIM)
    add_custom_target(format
        COMMAND ${CMAKE_COMMAND} -E env CLANG_FORMAT=${CLANG_FORMAT_PROGRAM}
                bash ${PROJECT_SOURCE_DIR}/scripts/format.sh
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Formatting the C++ files with .clang-format"
        VERBATIM)
endif()
