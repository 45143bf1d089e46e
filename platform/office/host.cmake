# The host program quorvel-outlook (Qt Widgets): its window, dialogs and
# reminders panel in a library the tests use too.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(quorvel_office_host STATIC
  ${CMAKE_CURRENT_LIST_DIR}/qtclipboard_qt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commandbarview_qt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hostwindow_qt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reminderspanel_qt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/addinsdialog_qt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/quitsignals_posix.cpp)
target_link_libraries(quorvel_office_host PUBLIC quorvel_office_model Qt6::Widgets)

add_executable(quorvel-outlook ${CMAKE_CURRENT_LIST_DIR}/hostmain_qt.cpp)
target_link_libraries(quorvel-outlook PRIVATE quorvel_office_host)
