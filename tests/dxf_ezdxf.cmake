# Independent check of the DXF writer's output: the writer tests run once more
# with PLV_DXF_CHECK_DIR set, leaving every drawing they write (with a summary
# of what it holds) in one folder, and Debian's ezdxf then reads each one
# strictly, audits it and compares. The check itself always runs natively;
# in the Windows build the drawings are written by the .exe under Wine.
if(TARGET dxf_tests)
  set(plv_dxf_check_dir "${CMAKE_BINARY_DIR}/dxf_ezdxf")
  set(plv_dxf_check_dir_seen "${plv_dxf_check_dir}")
  if(CMAKE_CROSSCOMPILING AND WIN32)
    set(plv_dxf_check_dir_seen "Z:${plv_dxf_check_dir}")
  endif()

  add_test(NAME dxf_ezdxf_clean COMMAND ${CMAKE_COMMAND} -E rm -rf "${plv_dxf_check_dir}")
  set_tests_properties(dxf_ezdxf_clean PROPERTIES FIXTURES_SETUP dxf_ezdxf_clean LABELS dxf)

  add_test(NAME dxf_ezdxf_write COMMAND dxf_tests "--gtest_filter=DxfDocument.*:DxfRoundTrip.*")
  set_tests_properties(dxf_ezdxf_write PROPERTIES
    ENVIRONMENT "PLV_DXF_CHECK_DIR=${plv_dxf_check_dir_seen}"
    FIXTURES_REQUIRED dxf_ezdxf_clean
    FIXTURES_SETUP dxf_ezdxf_files
    LABELS dxf)

  # The program's save path too: drawing items moved onto the file's sheets.
  if(TARGET app_core_tests)
    add_test(NAME dxf_ezdxf_write_app COMMAND app_core_tests "--gtest_filter=ExportSheetPlacement.*")
    set_tests_properties(dxf_ezdxf_write_app PROPERTIES
      ENVIRONMENT "PLV_DXF_CHECK_DIR=${plv_dxf_check_dir_seen}"
      FIXTURES_REQUIRED dxf_ezdxf_clean
      FIXTURES_SETUP dxf_ezdxf_files
      LABELS dxf)
  endif()

  add_test(NAME dxf_ezdxf_check
           COMMAND /usr/bin/python3 "${CMAKE_CURRENT_LIST_DIR}/check_dxf_ezdxf.py" "${plv_dxf_check_dir}")
  set_tests_properties(dxf_ezdxf_check PROPERTIES FIXTURES_REQUIRED dxf_ezdxf_files LABELS dxf)
endif()
