include(GoogleTest)

# solvei_add_test(NAME LABEL label [QT] [SERIAL] SOURCES ... LIBS ...)
# One GoogleTest executable per test folder; QT tests get a main that selects the
# offscreen platform before the QApplication exists. SERIAL tests run alone: they time what
# an operator sees on a real display and must not share the cores with the rest.
function(solvei_add_test name)
    cmake_parse_arguments(T "QT;SERIAL" "LABEL" "SOURCES;LIBS" ${ARGN})
    set(serial FALSE)
    if(T_SERIAL)
        set(serial TRUE)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock)
    if(T_QT)
        target_link_libraries(${name} PRIVATE solvei_qt_test_main)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_precompile_headers(${name} PRIVATE <gtest/gtest.h>)
    gtest_discover_tests(${name}
        PROPERTIES LABELS "${T_LABEL}" RUN_SERIAL ${serial}
        ENVIRONMENT "SOLVEI_BINARY_DIR=${PROJECT_BINARY_DIR};SOLVEI_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
        DISCOVERY_TIMEOUT 60)
endfunction()
