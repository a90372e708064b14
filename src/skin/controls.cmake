# Skinned windows and controls drawn from the skin store.
add_library(solvei_skin_controls STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CSkinButton.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinButtonGroup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinEdit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinMenu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinProgress.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinRepeatButton.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinSlider.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinSpin.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinStatic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinTree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinFont.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinMenuRow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinTextFlags.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SpinFieldFormat.cpp
)
set_target_properties(solvei_skin_controls PROPERTIES AUTOMOC ON)
target_include_directories(solvei_skin_controls PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(solvei_skin_controls PUBLIC solvei_skin Qt6::Widgets)
