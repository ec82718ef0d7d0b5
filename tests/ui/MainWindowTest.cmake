# The main window's Qt Test (included from tests/CMakeLists.txt).
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(orbench_main_window_test
  ${CMAKE_CURRENT_LIST_DIR}/MainWindowTest.cpp)
set_target_properties(orbench_main_window_test PROPERTIES AUTOMOC ON)
target_include_directories(orbench_main_window_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orbench_main_window_test PRIVATE orbench_ui orbench_test_support Qt6::Test)
# The tests of an installed program lay it out as the install rules do.
include(GNUInstallDirs)
target_compile_definitions(orbench_main_window_test PRIVATE ORBENCH_TEST_BINDIR="${CMAKE_INSTALL_BINDIR}"
  ORBENCH_TEST_DATADIR="${CMAKE_INSTALL_DATADIR}")
add_test(NAME orbench_main_window_test COMMAND orbench_main_window_test)
set_tests_properties(orbench_main_window_test PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
