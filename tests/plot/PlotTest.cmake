# The pictures of "orbench-cli plot" (included from tests/CMakeLists.txt).
find_package(Qt6 REQUIRED COMPONENTS Gui)
add_executable(orbench_plot_tests ${CMAKE_CURRENT_LIST_DIR}/PlotTest.cpp)
target_link_libraries(orbench_plot_tests PRIVATE orbench_test_support Qt6::Gui GTest::gtest GTest::gtest_main)
target_compile_definitions(orbench_plot_tests PRIVATE ORBENCH_CLI_PATH="$<TARGET_FILE:orbench-cli>")
add_dependencies(orbench_plot_tests orbench-cli orbench-plot)
gtest_discover_tests(orbench_plot_tests DISCOVERY_TIMEOUT 60)
