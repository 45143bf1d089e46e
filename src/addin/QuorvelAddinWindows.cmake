# Quorvel.dll: the add-in library for Windows with its type library, its
# resources and exactly its four entry points. Included from CMakeLists.txt.
enable_language(RC)

# The type library, compiled from its IDL. widl reads Wine's stdole2.tlb only
# to refer to IDispatch there.
find_file(QUORVEL_STDOLE2_TLB stdole2.tlb
  PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
get_filename_component(QUORVEL_STDOLE2_DIR ${QUORVEL_STDOLE2_TLB} DIRECTORY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/VaskAddin.tlb
  COMMAND ${QUORVEL_WIDL} -t -o VaskAddin.tlb -L ${QUORVEL_STDOLE2_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/VaskAddin.idl
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/VaskAddin.idl
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  COMMENT "Compiling the type library VaskAddin.tlb"
  VERBATIM)

# Everything but the entry points, so that tests reach the parts directly.
add_library(quorvel_addin STATIC
  ${QUORVEL_ADDIN_SHARED_SOURCES}
  unComposerHost_win32.cpp
  unButtonFace_win32.cpp
  unResources_win32.cpp
  unReminderText_win32.cpp)
target_link_libraries(quorvel_addin PUBLIC quorvel_com user32 gdi32 advapi32)

target_link_libraries(quorvel_addin PUBLIC quorvel_composer quorvel_emapi quorvel_util
  quorvel_registry)

# The library the hosts load: Quorvel.dll, its exports named and numbered by
# Quorvel.def (undecorated also in the 32-bit build, where __stdcall names
# carry their argument size otherwise).
add_library(Quorvel SHARED Quorvel_win32.cpp Quorvel.def Quorvel.rc)
target_link_libraries(Quorvel PRIVATE quorvel_addin)
set_target_properties(Quorvel PROPERTIES PREFIX "" OUTPUT_NAME Quorvel)
target_include_directories(Quorvel PRIVATE
  ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/res)
# The version goes to the resource compiler in a header: windres loses the
# quotes of a string given on its command line.
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/QuorvelVersion.rc.h CONTENT
  "#define QUORVEL_VERSION_MAJOR ${PROJECT_VERSION_MAJOR}
#define QUORVEL_VERSION_MINOR ${PROJECT_VERSION_MINOR}
#define QUORVEL_VERSION_TEXT \"${PROJECT_VERSION}\"
")
set_source_files_properties(Quorvel.rc PROPERTIES OBJECT_DEPENDS "\
${CMAKE_CURRENT_BINARY_DIR}/VaskAddin.tlb;\
${CMAKE_CURRENT_SOURCE_DIR}/res/kavri-sms-16.bmp;\
${CMAKE_CURRENT_BINARY_DIR}/QuorvelVersion.rc.h")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The .def names the undecorated entry points; the linker matches them to
  # their __stdcall symbols.
  target_link_options(Quorvel PRIVATE -Wl,--enable-stdcall-fixup)
endif()
