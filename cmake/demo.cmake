# The demo: a small product and its silent installer, served to setup.exe by tools/demo.sh.
add_executable(demo_product WIN32 ${CMAKE_SOURCE_DIR}/tools/demo/demo_product.cpp)
target_compile_definitions(demo_product PRIVATE UNICODE _UNICODE)
target_link_options(demo_product PRIVATE -municode -s)

set(DEMO_PRODUCT_EXE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/demo_product.exe)
configure_file(${CMAKE_SOURCE_DIR}/tools/demo/demo_installer.rc.in ${CMAKE_BINARY_DIR}/generated/demo_installer.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/demo_installer.rc PROPERTIES OBJECT_DEPENDS ${DEMO_PRODUCT_EXE})
add_executable(demo_installer WIN32 ${CMAKE_SOURCE_DIR}/tools/demo/demo_installer.cpp
  ${CMAKE_BINARY_DIR}/generated/demo_installer.rc)
target_compile_definitions(demo_installer PRIVATE UNICODE _UNICODE)
target_link_options(demo_installer PRIVATE -municode -s)
target_link_libraries(demo_installer PRIVATE shell32)
add_dependencies(demo_installer demo_product)

# Plays the user on a virtual display.
add_executable(demo_driver ${CMAKE_SOURCE_DIR}/tools/demo/demo_driver.cpp ${CMAKE_SOURCE_DIR}/tests/wine/harness.cpp)
target_include_directories(demo_driver PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests/wine)
target_compile_definitions(demo_driver PRIVATE UNICODE _UNICODE NOMINMAX)
target_link_options(demo_driver PRIVATE -municode)
target_link_libraries(demo_driver PRIVATE gdiplus shell32 user32 gdi32 ole32)

# setup.exe once more, with a language file that points at the demo's local server.
set(SETUP_DEMO_PORT 8472 CACHE STRING "Loopback port of the demo's download server")
set(DEMO_LANGUAGE_FILE ${CMAKE_BINARY_DIR}/generated/demo/English.ini)
add_custom_command(OUTPUT ${DEMO_LANGUAGE_FILE}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/language_file.py ${DEMO_LANGUAGE_FILE}
          --down-url http://127.0.0.1:${SETUP_DEMO_PORT}/TalvenorSetup.exe
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/language_file.py)
set(SETUP_LANGUAGE_FILE_ABS ${DEMO_LANGUAGE_FILE})
configure_file(${CMAKE_SOURCE_DIR}/res/language.rc.in ${CMAKE_BINARY_DIR}/generated/demo/language.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/demo/language.rc PROPERTIES OBJECT_DEPENDS ${DEMO_LANGUAGE_FILE})
add_executable(demo_setup WIN32 ${CMAKE_SOURCE_DIR}/app/main.cpp ${CMAKE_SOURCE_DIR}/res/setup.rc
  ${CMAKE_BINARY_DIR}/generated/demo/language.rc)
target_link_libraries(demo_setup PRIVATE setup_core)
target_link_options(demo_setup PRIVATE -municode -s)
set_target_properties(demo_setup PROPERTIES OUTPUT_NAME setup RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/demo)
