# The surgery info dialog's Qt Test (included from tests/CMakeLists.txt).
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(orbench_surgery_info_dialog_test ${CMAKE_CURRENT_LIST_DIR}/SurgeryInfoDialogTest.cpp)
set_target_properties(orbench_surgery_info_dialog_test PROPERTIES AUTOMOC ON)
target_link_libraries(orbench_surgery_info_dialog_test PRIVATE orbench_ui Qt6::Test)
add_test(NAME orbench_surgery_info_dialog_test COMMAND orbench_surgery_info_dialog_test)
set_tests_properties(orbench_surgery_info_dialog_test PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
