# Sanitizer and fuzzing builds (clang). Every target is instrumented, the libraries and the
# tests alike; the fuzz targets link libFuzzer's main on top (tests/fuzz).
if(PAPYRANT_FUZZ)
    set(PAPYRANT_SANITIZE ON CACHE BOOL "" FORCE)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "PAPYRANT_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
    endif()
    # Coverage for the fuzzer in every library; only the fuzz targets link libFuzzer itself.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(PAPYRANT_SANITIZE)
    # Undefined behaviour stops the test that shows it, as an address error does.
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
