# Windows build: setup.exe, the product code as a library, and the tests that run under Wine.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# Statically linked: the programs need no DLL that is not part of Windows.
string(APPEND CMAKE_EXE_LINKER_FLAGS " -static -static-libgcc -static-libstdc++ -Wl,--gc-sections")
string(APPEND CMAKE_CXX_FLAGS " -ffunction-sections -fdata-sections")

set(SETUP_LANGUAGE_FILE ${CMAKE_SOURCE_DIR}/res/English.ini CACHE FILEPATH
  "Language file embedded as resource INI 253 (texts, download and licence addresses)")
get_filename_component(SETUP_LANGUAGE_FILE_ABS ${SETUP_LANGUAGE_FILE} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
configure_file(${CMAKE_SOURCE_DIR}/res/language.rc.in ${CMAKE_BINARY_DIR}/generated/language.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/language.rc
  PROPERTIES OBJECT_DEPENDS ${SETUP_LANGUAGE_FILE_ABS})
file(GLOB SKIN_IMAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/skin/*.png)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/setup.rc PROPERTIES OBJECT_DEPENDS
  "${SKIN_IMAGES};${CMAKE_SOURCE_DIR}/res/setup.ico;${CMAKE_SOURCE_DIR}/res/setup.manifest;${CMAKE_SOURCE_DIR}/res/skin.rc")
set(SETUP_RESOURCES ${CMAKE_SOURCE_DIR}/res/setup.rc ${CMAKE_BINARY_DIR}/generated/language.rc)

file(GLOB SETUP_CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/winlib/*.cpp
  ${CMAKE_SOURCE_DIR}/app/*.cpp
  ${CMAKE_SOURCE_DIR}/ui/*.cpp
  ${CMAKE_SOURCE_DIR}/engine/*.cpp
  ${CMAKE_SOURCE_DIR}/controls/*.cpp)
list(REMOVE_ITEM SETUP_CORE_SOURCES ${CMAKE_SOURCE_DIR}/app/main.cpp)
add_library(setup_core STATIC ${SETUP_CORE_SOURCES})
target_include_directories(setup_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(setup_core PUBLIC UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
target_compile_options(setup_core PRIVATE -Wall -Wextra)
target_link_libraries(setup_core PUBLIC setup_rules
  gdiplus comctl32 wininet winhttp shell32 shlwapi ole32 oleaut32 uuid advapi32 user32 gdi32 kernel32)

add_executable(setup WIN32 ${CMAKE_SOURCE_DIR}/app/main.cpp ${SETUP_RESOURCES})
target_link_libraries(setup PRIVATE setup_core)
target_link_options(setup PRIVATE -municode -s)

add_test(NAME setup_imports_only_system_dlls
  COMMAND ${CMAKE_SOURCE_DIR}/tools/check-imports.sh $<TARGET_FILE:setup>)
set_tests_properties(setup_imports_only_system_dlls PROPERTIES CROSSCOMPILING_EMULATOR "")

# Small Windows programs the tests start: a stand-in product, a fake installer, recorders.
file(GLOB TEST_PROGRAMS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/programs/*.cpp)
foreach(source ${TEST_PROGRAMS})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} WIN32 ${source})
  target_compile_definitions(${name} PRIVATE UNICODE _UNICODE NOMINMAX)
  target_link_options(${name} PRIVATE -municode)
  target_link_libraries(${name} PRIVATE shell32 user32 gdi32 advapi32 shlwapi)
endforeach()

# Tests under Wine: GoogleTest built for Windows, linked with the product code and its resources.
file(GLOB WINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*.cpp)
add_executable(wine_tests ${WINE_TEST_SOURCES} ${SETUP_RESOURCES})
target_link_libraries(wine_tests PRIVATE setup_core gtest)
target_include_directories(wine_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine)
target_link_options(wine_tests PRIVATE -municode)
add_dependencies(wine_tests setup)
foreach(source ${TEST_PROGRAMS})
  get_filename_component(name ${source} NAME_WE)
  add_dependencies(wine_tests ${name})
endforeach()
gtest_add_tests(TARGET wine_tests SOURCES ${WINE_TEST_SOURCES} TEST_LIST WINE_TESTS)
set_tests_properties(${WINE_TESTS} PROPERTIES TIMEOUT 180)
# Screenshots of the pages land in one folder, for people to look at.
set(SETUP_SCREENSHOT_FOLDER ${CMAKE_SOURCE_DIR}/build/screenshots)
set_tests_properties(${WINE_TESTS} PROPERTIES ENVIRONMENT "SETUP_SCREENSHOTS=Z:${SETUP_SCREENSHOT_FOLDER}")

# The UI language comes from the locale, as a user's does under Wine: the localised
# tests run once per language that has its own skin, and once for one that has none.
set(UI_LANGUAGE_CASES
  "en_US.UTF-8 1033 0" "it_IT.UTF-8 1040 3" "fr_FR.UTF-8 1036 4" "ja_JP.UTF-8 1041 5"
  "de_DE.UTF-8 1031 8" "zh_TW.UTF-8 1028 9" "de_CH.UTF-8 2055 0" "zh_CN.UTF-8 2052 0")
foreach(case ${UI_LANGUAGE_CASES})
  separate_arguments(fields UNIX_COMMAND "${case}")
  list(GET fields 0 locale)
  list(GET fields 1 language)
  list(GET fields 2 offset)
  add_test(NAME "Localised.${locale}" COMMAND wine_tests --gtest_filter=Localised*)
  set_tests_properties("Localised.${locale}" PROPERTIES TIMEOUT 180 ENVIRONMENT
    "LC_ALL=${locale};LANG=${locale};SETUP_EXPECT_UI_LANGUAGE=${language};SETUP_EXPECT_OFFSET=${offset};SETUP_SCREENSHOTS=Z:${SETUP_SCREENSHOT_FOLDER}")
endforeach()

# The skin table, embedded in the Wine tests that check every skin resource against it.
file(READ ${CMAKE_SOURCE_DIR}/tools/skin/skin_table.tsv SKIN_TABLE_TSV)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/skin_table_tsv.h
  CONTENT "// Generated from tools/skin/skin_table.tsv by cmake/windows.cmake.\n#pragma once\ninline constexpr char kSkinTableTsv[] = R\"skin_table(@SKIN_TABLE_TSV@)skin_table\";\n"
  @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/skin/skin_table.tsv)
target_include_directories(wine_tests PRIVATE ${CMAKE_BINARY_DIR}/generated)

# --- Download engine tests ------------------------------------------------------------
# nginx and a scripted test server (tests/servers/servers.py) on free loopback ports,
# serving the fake installer padded to several sizes; started once for all engine tests.
find_program(SETUP_PYTHON3 python3 REQUIRED)
set(ENGINE_SERVER_STATE ${CMAKE_BINARY_DIR}/engine-servers)
add_test(NAME EngineServers.Start COMMAND ${SETUP_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/servers/servers.py
  start ${ENGINE_SERVER_STATE} --installer $<TARGET_FILE:fake_installer>)
add_test(NAME EngineServers.Stop COMMAND ${SETUP_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/servers/servers.py
  stop ${ENGINE_SERVER_STATE})
set_tests_properties(EngineServers.Start PROPERTIES FIXTURES_SETUP engine_servers TIMEOUT 120)
set_tests_properties(EngineServers.Stop PROPERTIES FIXTURES_CLEANUP engine_servers)
target_link_libraries(wine_tests PRIVATE crypt32)
target_link_libraries(fake_installer PRIVATE advapi32)
target_link_options(fake_installer PRIVATE -s)

set(ENGINE_TEST_ENVIRONMENT "SETUP_ENGINE_STATE=Z:${ENGINE_SERVER_STATE}")
set(ENGINE_TESTS ${WINE_TESTS})
list(FILTER ENGINE_TESTS INCLUDE REGEX "^Engine[A-Za-z]*\\.")
if(ENGINE_TESTS)
  set_tests_properties(${ENGINE_TESTS} PROPERTIES FIXTURES_REQUIRED engine_servers TIMEOUT 300)
  set_property(TEST ${ENGINE_TESTS} APPEND PROPERTY ENVIRONMENT ${ENGINE_TEST_ENVIRONMENT})
endif()
# Complete runs, one process each: installers of 1, 39, 40, 41, 1000003 and ~100 MiB
# bytes, on WinINet and on WinHTTP (rows of kCompleteCases in engine_download_test.cpp).
# The plain entry of that test only skips, so it is not run.
set_tests_properties(EngineComplete.Run PROPERTIES DISABLED TRUE)
foreach(stack wininet winhttp)
  foreach(size 1 39 40 41 1000003 104857603)
    add_test(NAME "EngineComplete.${stack}-${size}" COMMAND wine_tests --gtest_filter=EngineComplete.Run)
    set_tests_properties("EngineComplete.${stack}-${size}" PROPERTIES TIMEOUT 400
      FIXTURES_REQUIRED engine_servers ENVIRONMENT "SETUP_ENGINE_CASE=${stack}-${size};${ENGINE_TEST_ENVIRONMENT}")
  endforeach()
endforeach()

# The fault table: one process per row of kRows in engine_faults_test.cpp, whose names
# are read from that file (each row's line begins with {" and the name). The plain
# entry would run every row in one process, so it is not run.
set(ENGINE_FAULTS_SOURCE ${CMAKE_SOURCE_DIR}/tests/wine/engine_faults_test.cpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ENGINE_FAULTS_SOURCE})
file(STRINGS ${ENGINE_FAULTS_SOURCE} ENGINE_FAULT_ROWS REGEX "^    {\"[a-z0-9_]+\",")
set_tests_properties("*/EngineFaults.Row/*" PROPERTIES DISABLED TRUE)
foreach(line ${ENGINE_FAULT_ROWS})
  string(REGEX REPLACE "^    {\"([a-z0-9_]+)\",.*$" "\\1" row "${line}")
  add_test(NAME "EngineFaults.${row}" COMMAND wine_tests --gtest_filter=Table/EngineFaults.Row/${row})
  set_tests_properties("EngineFaults.${row}" PROPERTIES TIMEOUT 300
    FIXTURES_REQUIRED engine_servers ENVIRONMENT "${ENGINE_TEST_ENVIRONMENT}")
endforeach()
