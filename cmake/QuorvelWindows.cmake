# The Windows build: Quorvel.dll, the platform layers over the real Win32
# libraries, the Win32 composer window and the programs the Wine tests run.
# Included from the top-level CMakeLists.txt when cross-building.
add_compile_options(-Wall -Wextra)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
  QUORVEL_VERSION="${PROJECT_VERSION}")
include_directories(${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/platform)

# Tests run through Wine: scripts/wine-run.sh picks wine64 or the 32-bit
# loader, keeps one Wine prefix per build folder, and reports a test as
# skipped (exit code 77) where this machine cannot run 32-bit programs.
set(QUORVEL_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
set(QUORVEL_WINE_ENV
  WINEPREFIX=${QUORVEL_WINE_PREFIX}
  QUORVEL_WINE_ARCH=${CMAKE_SYSTEM_PROCESSOR}
  QUORVEL_SOURCE_DIR=${CMAKE_SOURCE_DIR}
  QUORVEL_BINARY_DIR=${CMAKE_BINARY_DIR})
enable_testing()

# quorvel_add_wine_test(NAME COMMAND...): one test run under Wine, skipped
# with its reason where Wine cannot run this build's programs. Every such
# test needs the build's Wine prefix, made once by the fixture wine_prefix
# (tests/windows).
function(quorvel_add_wine_test name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${QUORVEL_WINE_ENV}" SKIP_RETURN_CODE 77
    TIMEOUT 300 LABELS wine FIXTURES_REQUIRED wine_prefix)
endfunction()

foreach(dir
    platform/registry platform/wininet platform/com platform/office
    src/util src/http src/Emapi src/composer src/addin
    tests/windows)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()
