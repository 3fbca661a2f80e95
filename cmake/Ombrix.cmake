# One static library per source folder: every .cpp below the folder belongs to it, so adding a file needs no edit here.
# EXCLUDE names files (relative to the folder) kept out of the library, such as a program's main.cpp.
function(ox_add_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(NOT srcs MATCHES "\\.cpp")
    # A folder with no code yet still stands in the graph, so its users link.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One GoogleTest executable per test folder, each test registered with CTest.
# GUI selects the test main that creates a QApplication (offscreen) instead of a QCoreApplication.
# LOCK names a resource that the folder's tests hold one at a time (for state they share, as the session bus).
function(ox_add_tests name dir)
  cmake_parse_arguments(ARG "GUI" "LOCK" "DEPS;REALTIME" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  if(ARG_GUI)
    target_link_libraries(${name} PRIVATE ox_test_main_gui)
  else()
    target_link_libraries(${name} PRIVATE ox_test_main_core)
  endif()
  target_link_libraries(${name} PRIVATE ox_test_support ${ARG_DEPS} GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
      OX_SOURCE_DIR="${PROJECT_SOURCE_DIR}" OX_BINARY_DIR="${PROJECT_BINARY_DIR}")
  # Sanitized builds run the media tests several times slower (over two minutes each under ThreadSanitizer).
  set(timeout 300)
  if(OX_SANITIZE)
    set(timeout 900)
  endif()
  set(lock)
  if(ARG_LOCK)
    set(lock RESOURCE_LOCK ${ARG_LOCK})
  endif()
  # REALTIME names the test suites that play media or animate at the wall clock's pace: tools/test-session.sh gives
  # them, and only them, a second run when they miss a deadline on a loaded machine. The folder's other suites run once.
  # Every test needs the step that runs after it and removes the temporary folders of test processes killed at their
  # timeout (tests/CMakeLists.txt).
  set(discover DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
  set(common TIMEOUT ${timeout} ${lock} FIXTURES_REQUIRED test_temporary_folders)
  if(ARG_REALTIME)
    list(JOIN ARG_REALTIME ".*:" realtime)
    gtest_discover_tests(${name} ${discover} TEST_FILTER "${realtime}.*" PROPERTIES ${common} LABELS realtime)
    gtest_discover_tests(${name} ${discover} TEST_FILTER "-${realtime}.*" PROPERTIES ${common})
    list(JOIN ARG_REALTIME "," suites)
    add_test(NAME ${name}.RealtimeSuitesExist
             COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:${name}> -DSUITES=${suites}
                     -P ${PROJECT_SOURCE_DIR}/cmake/RealtimeSuites.cmake)
  else()
    gtest_discover_tests(${name} ${discover} PROPERTIES ${common})
  endif()
endfunction()
