# The renderer's tests run the built velunary as a process and compare its files with the
# same session driven in this process; a fixture library stands in for a failing effect.
add_library(velunary_failing_effect MODULE ${CMAKE_CURRENT_LIST_DIR}/fixtures/failing_effect.cpp)
target_include_directories(velunary_failing_effect PRIVATE ${PROJECT_SOURCE_DIR}/sdk)
velunary_warnings(velunary_failing_effect)

target_compile_definitions(cli_tests PRIVATE
  VELUNARY_EXE="$<TARGET_FILE:velunary>"
  VELUNARY_PLUGIN="$<TARGET_FILE:velunaria>"
  VELUNARY_FAILING_PLUGIN="$<TARGET_FILE:velunary_failing_effect>")
add_dependencies(cli_tests velunary velunaria velunary_failing_effect)
