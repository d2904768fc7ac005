# Windows build: an OpenCL.dll planted beside the test programs, and the loader
# test run with Wine told to prefer such a file over its own opencl.dll (as
# Windows itself would), so that a plain library search would load the plant.
if(WIN32 AND TARGET gpu_tests)
  add_library(planted_opencl SHARED ${CMAKE_CURRENT_LIST_DIR}/gpu/planted_opencl.c)
  set_target_properties(planted_opencl PROPERTIES
    PREFIX "" OUTPUT_NAME OpenCL
    RUNTIME_OUTPUT_DIRECTORY "$<TARGET_FILE_DIR:gpu_tests>"
    ARCHIVE_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/planted_opencl")
  add_dependencies(gpu_tests planted_opencl)

  add_test(NAME gpu_planted_library
           COMMAND gpu_tests "--gtest_filter=SafeLoading.*")
  # A skip would mean the plant was out of reach and nothing was shown.
  set_tests_properties(gpu_planted_library PROPERTIES
    ENVIRONMENT_MODIFICATION "WINEDLLOVERRIDES=string_append:\;opencl=n,b"
    FAIL_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
    LABELS gpu)
endif()
