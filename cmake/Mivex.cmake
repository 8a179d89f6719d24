# Build settings and helper functions shared by every folder.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

set(MIVEX_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
get_filename_component(MIVEX_ROOT "${MIVEX_ROOT}" ABSOLUTE)

add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)

if(WIN32)
  enable_language(RC)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(MIVEX_WIN_ARCH i686)
  else()
    set(MIVEX_WIN_ARCH x86_64)
  endif()
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 STRICT)
  # The compiler cannot align the stack beyond 16 bytes on Windows, yet spills
  # 256- and 512-bit vectors (in code compiled for those instruction sets) with
  # aligned moves: have the assembler make every vector move an unaligned one.
  add_compile_options(-Wa,-muse-unaligned-vector-move)
  if(MIVEX_WIN_ARCH STREQUAL "i686")
    # The 32-bit compiler's own choice is the x87 unit, which keeps intermediates at
    # 80 bits: the engine would then round otherwise than every other build and give
    # other records and scores for the same image. SSE2 arithmetic rounds each step to
    # its type as the 64-bit and native builds do (every processor Windows still runs
    # on has it). Windows enters the library with a stack aligned to 4 bytes only, so
    # functions that keep SSE values there realign it.
    add_compile_options(-msse2 -mfpmath=sse -mstackrealign)
  endif()
  # Everything static but the Windows system libraries.
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(MIVEX_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  if(MIVEX_WINE_TESTS)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${MIVEX_ROOT}/scripts/wine-run.sh)
  endif()
  # Data path as Wine sees it (the Unix root is drive Z:).
  set(MIVEX_DRIVE_PREFIX "Z:")
  set(MIVEX_DATA_DIR_NATIVE "Z:${MIVEX_DATA_DIR}")
else()
  set(MIVEX_DRIVE_PREFIX "")
  set(MIVEX_DATA_DIR_NATIVE "${MIVEX_DATA_DIR}")
  if(MIVEX_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -g)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(MIVEX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

# Cross-built or packaged GoogleTest.
if(MIVEX_TESTS AND NOT TARGET mivex_gtest_main)
  if(WIN32)
    if(MIVEX_WINE_TESTS)
      set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
      set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
      add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
      add_library(mivex_gtest_main INTERFACE)
      target_link_libraries(mivex_gtest_main INTERFACE gtest_main gmock)
    endif()
  else()
    find_package(GTest REQUIRED)
    add_library(mivex_gtest_main INTERFACE)
    target_link_libraries(mivex_gtest_main INTERFACE GTest::gtest_main GTest::gmock)
  endif()
endif()

# mivex_on_desktop(<test>...): Windows tests share one Wine desktop (dialogs and window
# look-ups must not overlap), so they run one after another. That chain is the longest
# part of a run: ctest starts it first and gives the other jobs the native tests
# meanwhile. Once ctest has timed a run, its measured costs order the tests instead.
function(mivex_on_desktop)
  set_tests_properties(${ARGN} PROPERTIES RESOURCE_LOCK wine-desktop COST 1000)
endfunction()

# mivex_test(<name> SOURCES <files...> [LIBS <targets...>] [WINDOWS_ONLY] [NATIVE_ONLY]
#            [NO_DEFAULT_RUN] [LABELS <labels...>])
# A GoogleTest program. Natively it runs under the sanitizers; in a Windows build it is
# built and run under Wine only when MIVEX_WINE_TESTS is on. Tests find the real
# fingerprint images through the MIVEX_DATA_DIR macro and their inputs in
# MIVEX_TEST_DATA_DIR (tests/data).
function(mivex_test name)
  cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY;NO_DEFAULT_RUN" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(WIN32)
    if(T_NATIVE_ONLY OR NOT MIVEX_WINE_TESTS)
      return()
    endif()
    set(prefix wine)
  else()
    if(T_WINDOWS_ONLY)
      return()
    endif()
    set(prefix native)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} mivex_gtest_main)
  # A test's own files are checks and fixtures; the code under test comes optimised from
  # its libraries. Unoptimised, a test file compiles in about a quarter of the time.
  target_compile_options(${name} PRIVATE -O0)
  target_compile_definitions(${name} PRIVATE
    MIVEX_DATA_DIR="${MIVEX_DATA_DIR_NATIVE}"
    MIVEX_TEST_DATA_DIR="${MIVEX_DRIVE_PREFIX}${MIVEX_ROOT}/tests/data"
    MIVEX_SOURCE_DIR="${MIVEX_DRIVE_PREFIX}${MIVEX_ROOT}")
  if(T_NO_DEFAULT_RUN)
    return()  # runs are added with mivex_test_run
  endif()
  add_test(NAME ${prefix}.${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  if(WIN32)
    mivex_on_desktop(${prefix}.${name})
  endif()
  set_tests_properties(${prefix}.${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${prefix};${T_LABELS}"
    ENVIRONMENT "MIVEX_WINEPREFIX=${MIVEX_WINE_PREFIX};ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endfunction()

# mivex_test_run(<name> <test-program> [FILTER <gtest-filter>] [ENV <var=value>...]
#                [OFF_DESKTOP])
# One more run of a test program made by mivex_test: a subset of its tests, in an
# environment of its own (a sensor scenario, a user interface language). OFF_DESKTOP:
# the subset shows no window, so it runs beside the desktop's chain.
function(mivex_test_run name program)
  cmake_parse_arguments(R "OFF_DESKTOP" "FILTER;TIMEOUT" "ENV" ${ARGN})
  if(NOT TARGET ${program})
    return()
  endif()
  set(prefix native)
  if(WIN32)
    set(prefix wine)
  endif()
  set(args)
  if(R_FILTER)
    set(args --gtest_filter=${R_FILTER})
  endif()
  add_test(NAME ${prefix}.${name} COMMAND ${program} ${args} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(NOT R_TIMEOUT)
    set(R_TIMEOUT 600)
  endif()
  set_tests_properties(${prefix}.${name} PROPERTIES TIMEOUT ${R_TIMEOUT} LABELS "${prefix}"
    ENVIRONMENT "MIVEX_WINEPREFIX=${MIVEX_WINE_PREFIX};ASAN_OPTIONS=detect_leaks=1;${R_ENV}")
  if(WIN32 AND R_OFF_DESKTOP)
    # Started early too: it runs beside the desktop's chain, not after it.
    set_tests_properties(${prefix}.${name} PROPERTIES COST 1000)
  elseif(WIN32)
    mivex_on_desktop(${prefix}.${name})
  endif()
endfunction()

# mivex_def_file(<out> <template> [EXCLUDE names...]): the .def file of a DLL with an exact
# export table. The template lists "name @ordinal argbytes [= internal-symbol]"; i686
# exports the stdcall names undecorated.
function(mivex_def_file out template)
  cmake_parse_arguments(D "" "" "EXCLUDE" ${ARGN})
  file(STRINGS ${template} lines REGEX "^[^#]")
  set(text "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^LIBRARY")
      string(APPEND text "${line}\nEXPORTS\n")
    elseif(line MATCHES "^([A-Za-z0-9_]+)[ \t]+@([0-9]+)[ \t]+([0-9]+)([ \t]*=[ \t]*([A-Za-z0-9_]+))?")
      if(CMAKE_MATCH_1 IN_LIST D_EXCLUDE)
        continue()
      endif()
      set(symbol ${CMAKE_MATCH_1})
      if(CMAKE_MATCH_5)
        set(symbol ${CMAKE_MATCH_5})
      endif()
      if(MIVEX_WIN_ARCH STREQUAL "i686")
        string(APPEND text "  ${CMAKE_MATCH_1} = ${symbol}@${CMAKE_MATCH_3} @${CMAKE_MATCH_2}\n")
      elseif(NOT symbol STREQUAL CMAKE_MATCH_1)
        string(APPEND text "  ${CMAKE_MATCH_1} = ${symbol} @${CMAKE_MATCH_2}\n")
      else()
        string(APPEND text "  ${CMAKE_MATCH_1} @${CMAKE_MATCH_2}\n")
      endif()
    endif()
  endforeach()
  file(GENERATE OUTPUT ${out} CONTENT "${text}")
endfunction()

# mivex_host_def_file(<out> <template>): the .def file hosts link with, from the same
# template. On i686 it lists the decorated stdcall names compilers ask for when they
# read mivex.h (EnCryptData@20); import libraries made from it with the kill-at option
# define those symbols and import the undecorated names the DLL exports.
function(mivex_host_def_file out template)
  file(STRINGS ${template} lines REGEX "^[^#]")
  set(text "; Mivex.dll for host programs: the exports as compilers name them.\n")
  foreach(line IN LISTS lines)
    if(line MATCHES "^LIBRARY")
      string(APPEND text "${line}\nEXPORTS\n")
    elseif(line MATCHES "^([A-Za-z0-9_]+)[ \t]+@([0-9]+)[ \t]+([0-9]+)")
      if(MIVEX_WIN_ARCH STREQUAL "i686")
        string(APPEND text "  ${CMAKE_MATCH_1}@${CMAKE_MATCH_3} @${CMAKE_MATCH_2}\n")
      else()
        string(APPEND text "  ${CMAKE_MATCH_1} @${CMAKE_MATCH_2}\n")
      endif()
    endif()
  endforeach()
  file(GENERATE OUTPUT ${out} CONTENT "${text}")
endfunction()

# mivex_import_libraries(<def> <mingw-lib> <msvc-lib>): import libraries made from a host
# .def with decorated names: one for GNU ld (dlltool) and one for Microsoft-style linkers
# (llvm-dlltool), both importing by the undecorated names.
function(mivex_import_libraries def mingw_lib msvc_lib)
  find_program(MIVEX_DLLTOOL NAMES ${MIVEX_WIN_ARCH}-w64-mingw32-dlltool REQUIRED)
  find_program(MIVEX_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
  if(MIVEX_WIN_ARCH STREQUAL "i686")
    set(gnu_args -m i386 -k)
    set(llvm_args -m i386 -k)
  else()
    set(gnu_args -m i386:x86-64)
    set(llvm_args -m i386:x86-64)
  endif()
  add_custom_command(OUTPUT ${mingw_lib} ${msvc_lib}
    COMMAND ${MIVEX_DLLTOOL} ${gnu_args} -d ${def} -l ${mingw_lib}
    COMMAND ${MIVEX_LLVM_DLLTOOL} ${llvm_args} -d ${def} -l ${msvc_lib}
    DEPENDS ${def}
    VERBATIM)
endfunction()

# The version of every shipped binary, its package and its version resource: the
# project's version, in four parts for the resource.
set(MIVEX_VERSION ${PROJECT_VERSION})
set(MIVEX_COMPANY "The Mivex developers")
set(MIVEX_COPYRIGHT "Copyright (C) 2026 The Mivex developers")

# mivex_version_resource(<target> <description>): a VERSIONINFO resource for the DLL or
# program `target` (file and product version MIVEX_VERSION, original file name).
function(mivex_version_resource target description)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "SHARED_LIBRARY")
    set(MIVEX_VR_TYPE VFT_DLL)
    set(MIVEX_VR_FILE ${name}.dll)
  else()
    set(MIVEX_VR_TYPE VFT_APP)
    set(MIVEX_VR_FILE ${name}.exe)
  endif()
  set(MIVEX_VR_COMMAS "")
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(value "${PROJECT_VERSION_${part}}")
    if(value STREQUAL "")
      set(value 0)
    endif()
    list(APPEND MIVEX_VR_COMMAS ${value})
  endforeach()
  string(REPLACE ";" "," MIVEX_VR_COMMAS "${MIVEX_VR_COMMAS}")
  set(MIVEX_VR_NAME ${name})
  set(MIVEX_VR_DESCRIPTION "${description}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${name}-version.rc)
  configure_file(${MIVEX_ROOT}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
