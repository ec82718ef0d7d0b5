# The Python module against orbench-cli, and the example study (included from tests/CMakeLists.txt).
set(ORBENCH_PYTHON_TEST_ENV
  PYTHONPATH=${CMAKE_BINARY_DIR}/python
  ORBENCH_CLI=$<TARGET_FILE:orbench-cli>
  ORBENCH_CASEMIXES=${CMAKE_SOURCE_DIR}/casemixes
  PYTHONDONTWRITEBYTECODE=1)
foreach(Case SameAsTheCommandLine Errors Threads Surface)
  add_test(NAME Python.${Case}
    COMMAND ${ORBENCH_PYTHON_EXECUTABLE} -m unittest -v test_module.${Case}
    WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
  set_tests_properties(Python.${Case} PROPERTIES ENVIRONMENT "${ORBENCH_PYTHON_TEST_ENV}")
endforeach()
add_test(NAME Python.ExampleStudy COMMAND ${ORBENCH_PYTHON_EXECUTABLE} -m unittest -v test_example
  WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR})
set_tests_properties(Python.ExampleStudy PROPERTIES ENVIRONMENT "${ORBENCH_PYTHON_TEST_ENV}")
