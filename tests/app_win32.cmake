# Window tests of the Windows build, run under Wine: the main window made
# in-process and checked against the layout rules, and the whole program
# started, looked at and closed (needs an X display; skipped without one).
if(WIN32)
  # One at a time: the tests find their windows by class on the one Wine
  # desktop, where another test's window would be found too.
  plv_test_suite(app_win32 DEPS plv_app_win32 plv_app_core plv_dxf PROPERTIES RESOURCE_LOCK wine_desktop)
  if(TARGET app_win32_tests)
    # Icon resource 1 and the common-controls manifest, as in the program.
    target_sources(app_win32_tests PRIVATE ${PLV_APP_RESOURCES})
  endif()

  add_test(NAME app_e2e
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/app_e2e.sh $<TARGET_FILE:keldamiron>
                   ${CMAKE_BINARY_DIR}/artifacts)
  # Alone, so that no other test's window is taken for the program's.
  set_tests_properties(app_e2e PROPERTIES RUN_SERIAL TRUE RESOURCE_LOCK wine_desktop TIMEOUT 180 SKIP_RETURN_CODE 77
                                          LABELS app_win32)
endif()
