# The Qt Tests of the batch window and the overlap window, and the room test of every window
# (included from tests/CMakeLists.txt).
find_package(Qt6 REQUIRED COMPONENTS Test)
include(GNUInstallDirs)
foreach(Test BatchWindow OverlapWindow WindowRoom)
  string(REGEX REPLACE "([a-z])([A-Z])" "\\1_\\2" Snake ${Test})
  string(TOLOWER ${Snake} Lower)
  set(Target orbench_${Lower}_test)
  add_executable(${Target} ${CMAKE_CURRENT_LIST_DIR}/${Test}Test.cpp)
  set_target_properties(${Target} PROPERTIES AUTOMOC ON)
  target_include_directories(${Target} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(${Target} PRIVATE orbench_ui orbench_test_support Qt6::Test)
  # The tests of an installed program lay it out as the install rules do.
  target_compile_definitions(${Target} PRIVATE ORBENCH_TEST_BINDIR="${CMAKE_INSTALL_BINDIR}"
    ORBENCH_TEST_DATADIR="${CMAKE_INSTALL_DATADIR}")
  add_test(NAME ${Target} COMMAND ${Target})
  set_tests_properties(${Target} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endforeach()
