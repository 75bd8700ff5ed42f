# Native build: the Windows-free rules and their GoogleTest unit tests.
file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
add_executable(rules_tests ${NATIVE_TEST_SOURCES})
target_link_libraries(rules_tests PRIVATE setup_rules GTest::gtest_main)
target_compile_options(rules_tests PRIVATE -Wall -Wextra)
gtest_discover_tests(rules_tests)

# The rules must stay free of Windows headers.
add_test(NAME rules_include_no_windows_headers
  COMMAND ${CMAKE_SOURCE_DIR}/tools/check-rules-portable.sh ${CMAKE_SOURCE_DIR})
