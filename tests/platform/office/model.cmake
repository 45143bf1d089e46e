# Tests of the host's object model and add-in manager, with a test library
# holding two add-ins for the manager to load.
add_library(officetestaddin SHARED ${CMAKE_CURRENT_LIST_DIR}/testaddin.cpp)
target_link_libraries(officetestaddin PRIVATE quorvel_com quorvel_registry)
set_target_properties(officetestaddin PROPERTIES CXX_VISIBILITY_PRESET hidden)
target_link_options(officetestaddin PRIVATE -Wl,--exclude-libs,ALL)

quorvel_add_test(office_model_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/commandbars_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/application_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/addins_test.cpp
  LIBS quorvel_office_model quorvel_registry_testsupport)
target_compile_definitions(office_model_test PRIVATE
  TEST_ADDIN_LIBRARY="$<TARGET_FILE:officetestaddin>")
add_dependencies(office_model_test officetestaddin)

# The host window, offscreen.
if(TARGET quorvel_office_host)
  quorvel_add_test(office_host_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/host_window_test.cpp
    LIBS quorvel_office_host quorvel_registry_testsupport)
  target_compile_definitions(office_host_test PRIVATE
    TEST_ADDIN_LIBRARY="$<TARGET_FILE:officetestaddin>")
  add_dependencies(office_host_test officetestaddin)
endif()

# With the real add-in library: end to end through the bundled gateway, and
# the screenshot of the host for the README.
if(TARGET quorvel_office_host AND TARGET Quorvel AND TARGET quorvel_gateway_core)
  foreach(topic e2e screenshot)
    quorvel_add_test(office_addin_${topic}_test
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/addin_${topic}_test.cpp
      LIBS quorvel_office_host quorvel_gateway_core quorvel_registry_testsupport
      LABELS threads)
    target_compile_definitions(office_addin_${topic}_test PRIVATE
      QUORVEL_ADDIN_LIBRARY="$<TARGET_FILE:Quorvel>")
    add_dependencies(office_addin_${topic}_test Quorvel)
  endforeach()
endif()
