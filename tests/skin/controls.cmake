# Skinned windows and controls on the offscreen platform, with small skins written by the
# tests, plus the key check against the shipped skin.
solvei_add_test(skin_controls_tests LABEL skin QT
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/controls/ButtonTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/controls/DialogTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/controls/KeyLintTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/controls/ListTreeTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/controls/ProgressMenuTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/controls/SliderSpinTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/controls/TextTest.cpp
    LIBS solvei_skin_controls Qt6::Test)
target_compile_definitions(skin_controls_tests PRIVATE
    SOLVEI_SHIPPED_SKIN="${PROJECT_SOURCE_DIR}/skins/Solvei")
