# Helpers for the test tree: every test runs with a private home so that no
# test ever touches the user's real settings, address book or mail.
find_package(GTest REQUIRED)

set(QUORVEL_TEST_HOME ${CMAKE_BINARY_DIR}/testhome)
set(QUORVEL_TEST_ENV
  HOME=${QUORVEL_TEST_HOME}
  XDG_CONFIG_HOME=${QUORVEL_TEST_HOME}/config
  XDG_DATA_HOME=${QUORVEL_TEST_HOME}/data
  QT_QPA_PLATFORM=offscreen
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp
  QUORVEL_SOURCE_DIR=${CMAKE_SOURCE_DIR}
  QUORVEL_BINARY_DIR=${CMAKE_BINARY_DIR})

# quorvel_add_test(NAME SOURCES... LIBS ... [LABELS ...])
# One GoogleTest executable registered as one CTest test.
function(quorvel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${QUORVEL_TEST_ENV}" TIMEOUT 300)
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
