# Common settings for every module, and the two helpers that build a module's libraries and its
# tests from the files in its folders, so that adding a source file needs no CMake edit.

add_library(papyrant_common INTERFACE)
target_compile_features(papyrant_common INTERFACE cxx_std_20)
target_compile_options(papyrant_common INTERFACE -Wall -Wextra
                       $<$<BOOL:${PAPYRANT_WERROR}>:-Werror>)
target_compile_definitions(papyrant_common INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_USE_QSTRINGBUILDER
    PAPYRANT_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    PAPYRANT_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    PAPYRANT_VERSION_PATCH=${PROJECT_VERSION_PATCH})
target_include_directories(papyrant_common INTERFACE ${PROJECT_SOURCE_DIR}/src)

# papyrant_module(<name> [DEPENDS logic libs...] [UI_DEPENDS ui libs...])
#   src/<name>/*.cpp       -> papyrant_<name>     (Qt Core, Gui, Network only)
#   src/<name>/ui/*.cpp    -> papyrant_<name>_ui  (Widgets, WebEngine, Multimedia)
#   src/<name>/*.qrc       -> resources of the logic library
function(papyrant_module name)
    cmake_parse_arguments(PM "" "" "DEPENDS;UI_DEPENDS" ${ARGN})
    set(dir ${CMAKE_CURRENT_SOURCE_DIR})
    file(GLOB logic_src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc)
    list(FILTER logic_src EXCLUDE REGEX "/main\\.cpp$")
    if(logic_src)
        add_library(papyrant_${name} STATIC ${logic_src})
        set(scope PUBLIC)
    else() # a module whose first code has not come yet
        add_library(papyrant_${name} INTERFACE)
        set(scope INTERFACE)
    endif()
    target_link_libraries(papyrant_${name} ${scope} papyrant_common Qt6::Core Qt6::Gui Qt6::Network
                          ${PM_DEPENDS})
    if(NOT PAPYRANT_UI) # a logic-only build (sanitizers, fuzzing): no windows at all
        return()
    endif()
    file(GLOB ui_src CONFIGURE_DEPENDS ${dir}/ui/*.cpp ${dir}/ui/*.h ${dir}/ui/*.qrc)
    if(ui_src)
        add_library(papyrant_${name}_ui STATIC ${ui_src})
        set(scope PUBLIC)
    else() # no windows (yet): the UI library is the logic library
        add_library(papyrant_${name}_ui INTERFACE)
        set(scope INTERFACE)
    endif()
    target_link_libraries(papyrant_${name}_ui ${scope} papyrant_${name} Qt6::Widgets
                          Qt6::WebEngineCore Qt6::WebEngineWidgets Qt6::Multimedia Qt6::DBus
                          ${PM_UI_DEPENDS})
endfunction()

# papyrant_tests(<module> [LIBS extra libs...])
#   tests/<module>/*_test.cpp     -> one executable each, linked to the logic libraries only
#   tests/<module>/ui/*_test.cpp  -> one executable each, linked to the UI libraries as well
# A test file names its CTest labels on a line of its own: "// labels: unit faults".
function(papyrant_tests module)
    cmake_parse_arguments(PT "" "" "LIBS;UI_LIBS" ${ARGN})
    set(dir ${CMAKE_CURRENT_SOURCE_DIR})
    file(GLOB logic_tests CONFIGURE_DEPENDS ${dir}/*_test.cpp)
    set(ui_tests "")
    if(PAPYRANT_UI)
        file(GLOB ui_tests CONFIGURE_DEPENDS ${dir}/ui/*_test.cpp)
    endif()
    foreach(src IN LISTS logic_tests ui_tests)
        get_filename_component(stem ${src} NAME_WE)
        set(target ${module}_${stem})
        add_executable(${target} ${src})
        if(src IN_LIST ui_tests)
            target_link_libraries(${target} PRIVATE papyrant_test_support_ui ${PT_UI_LIBS} ${PT_LIBS})
        else()
            target_link_libraries(${target} PRIVATE papyrant_test_support ${PT_LIBS})
        endif()
        file(STRINGS ${src} label_line REGEX "^// labels:" LIMIT_COUNT 1)
        string(REGEX REPLACE "^// labels:[ ]*" "" labels "${label_line}")
        string(REPLACE " " ";" labels "${labels}")
        if(NOT labels)
            set(labels unit)
        endif()
        gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
        # Labels and environment are lists, which gtest_discover_tests flattens into its
        # PROPERTIES; set them from a file of our own that CTest reads after the discovery.
        set(environment
            "QT_QPA_PLATFORM=offscreen"
            "QTWEBENGINE_DISABLE_SANDBOX=1"
            "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox"
            "PAPYRANT_FIXTURES=${PROJECT_SOURCE_DIR}/tests/fixtures")
        set(props_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_properties.cmake)
        file(WRITE ${props_file}
             "if(${target}_TESTS)\n"
             "  set_tests_properties(\${${target}_TESTS} PROPERTIES\n"
             "    LABELS \"${labels}\"\n"
             "    ENVIRONMENT \"${environment}\"\n"
             "    TIMEOUT 300)\n"
             "endif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props_file})
    endforeach()
endfunction()
