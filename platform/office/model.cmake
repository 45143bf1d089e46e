# The host's object model: command bars, application objects, Outlook items
# and the add-in manager, served through the COM layer. Free of Qt.
add_library(quorvel_office_model STATIC
  ${CMAKE_CURRENT_LIST_DIR}/commandbarcontrol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commandbarcontrols.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commandbar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commandbarcollection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commanddefaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/customisation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/items.cpp
  ${CMAKE_CURRENT_LIST_DIR}/addins.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hostsession.cpp)
target_include_directories(quorvel_office_model PUBLIC ${CMAKE_SOURCE_DIR}/platform)
target_link_libraries(quorvel_office_model PUBLIC quorvel_com quorvel_calendar
  PRIVATE quorvel_registry)
