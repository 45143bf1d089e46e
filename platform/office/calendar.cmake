# The calendar reader for reminders: .ics files through libical, alarm
# records and their schedule. Free of Qt and COM.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBICAL REQUIRED IMPORTED_TARGET libical)

add_library(quorvel_calendar STATIC
  ${CMAKE_CURRENT_LIST_DIR}/calendar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reminderschedule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/calendarfiles_posix.cpp)
target_include_directories(quorvel_calendar PUBLIC ${CMAKE_SOURCE_DIR}/platform)
target_link_libraries(quorvel_calendar PRIVATE PkgConfig::LIBICAL)
