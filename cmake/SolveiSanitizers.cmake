if(SOLVEI_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
    # Position-dependent executables: the sanitizer's metadata for every global makes a
    # position-independent one spend a fifth of each start relocating itself, and the test
    # suite starts a program per test.
    add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-no-pie>)
elseif(SOLVEI_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT SOLVEI_SANITIZE STREQUAL "")
    message(FATAL_ERROR "SOLVEI_SANITIZE must be empty, address or thread")
endif()

# The fuzz build instruments every library for coverage; the fuzzer targets add the driver.
if(SOLVEI_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "SOLVEI_FUZZ needs clang (CC=clang CXX=clang++)")
    endif()
    # The list's digest on the command line makes the compiler cache see a change of the list.
    set(ignorelist ${PROJECT_SOURCE_DIR}/fuzz/coverage-ignorelist.txt)
    file(SHA1 ${ignorelist} ignorelist_digest)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ignorelist})
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fsanitize-coverage-ignorelist=${ignorelist}
        -DSOLVEI_COVERAGE_IGNORELIST=${ignorelist_digest})
    add_link_options(-fsanitize=address,undefined)
endif()
