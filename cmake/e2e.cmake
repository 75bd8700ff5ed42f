# End-to-end tests: the demo setup (its language file points at SETUP_DEMO_PORT) against
# nginx serving the demo installer at a limited rate, driven as a user drives it.
set(E2E_RUN ${CMAKE_BINARY_DIR}/e2e-server)
add_test(NAME EndToEnd.ServerStart COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/server.sh start
  ${SETUP_DEMO_PORT} ${E2E_RUN} $<TARGET_FILE:demo_installer> 12 16k)
add_test(NAME EndToEnd.ServerStop COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/server.sh stop ${E2E_RUN})
set_tests_properties(EndToEnd.ServerStart PROPERTIES FIXTURES_SETUP e2e_server)
set_tests_properties(EndToEnd.ServerStop PROPERTIES FIXTURES_CLEANUP e2e_server)

set(E2E_TESTS ${WINE_TESTS})
list(FILTER E2E_TESTS INCLUDE REGEX "^EndToEnd\\.")
if(E2E_TESTS)
  set_tests_properties(${E2E_TESTS} PROPERTIES FIXTURES_REQUIRED e2e_server TIMEOUT 300
    ENVIRONMENT "SETUP_SCREENSHOTS=Z:${SETUP_SCREENSHOT_FOLDER}/end-to-end;SETUP_E2E_RUN=Z:${E2E_RUN}")
  # The English slides are one picture three times; a German user sees the show move on.
  set_tests_properties(EndToEnd.HappyRoadIntoATypedFolder PROPERTIES ENVIRONMENT
    "SETUP_SCREENSHOTS=Z:${SETUP_SCREENSHOT_FOLDER}/end-to-end;SETUP_E2E_RUN=Z:${E2E_RUN};LC_ALL=de_DE.UTF-8;LANG=de_DE.UTF-8")
endif()
add_dependencies(wine_tests demo_setup demo_installer)
