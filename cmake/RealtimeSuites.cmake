# ctest -P script: every suite that ox_add_tests names REALTIME still has tests in EXE, so a renamed suite does not
# drop out of its second run unseen.
execute_process(COMMAND "${EXE}" --gtest_list_tests OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${EXE} --gtest_list_tests failed: ${status}")
endif()
string(REPLACE "," ";" suites "${SUITES}")
foreach(suite IN LISTS suites)
  string(REGEX MATCH "(^|\n)${suite}\\.\n" found "${listing}")
  if(NOT found)
    message(FATAL_ERROR "REALTIME names ${suite}, which ${EXE} does not hold")
  endif()
endforeach()
