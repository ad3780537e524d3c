# Which test sources a build compiles. The Windows cross build takes the unit
# tests that do not need this machine's devices, and the Linux build runs
# the same list under Wine, so both read it from here.

# Unit tests of the Linux backends only.
set(VRT_POSIX_ONLY_UNIT_TESTS port_names_test)
# Test support that drives pseudo-terminals, processes or an X display.
set(VRT_POSIX_ONLY_SUPPORT PortHolder PtyPc PtyPort ServedScanner WinePrefix XSession)

# The files of tests/ that match `pattern`, less those whose names (without
# extension) are in the list variable `excluded` (may be empty); with
# NAMES, their names instead of their paths.
function(vrt_test_files pattern excluded out)
  cmake_parse_arguments(arg "NAMES" "" "" ${ARGN})
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${pattern})
  set(kept)
  foreach(file ${files})
    get_filename_component(name ${file} NAME_WE)
    if(NOT name IN_LIST ${excluded})
      if(arg_NAMES)
        list(APPEND kept ${name})
      else()
        list(APPEND kept ${file})
      endif()
    endif()
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

set(vrt_nothing_excluded)

# The *_test.cpp files of tests/<folder> that this build compiles.
function(vrt_test_sources folder out)
  set(excluded vrt_nothing_excluded)
  if(WIN32)
    set(excluded VRT_POSIX_ONLY_UNIT_TESTS)
  endif()
  vrt_test_files(${folder}/*_test.cpp ${excluded} sources)
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# The cross build's own test programs (tests/win32/*_test.cpp, names without
# extension): Windows-only tests that a Linux test of the windows label runs
# under Wine against a scanner on a pseudo-terminal.
function(vrt_win32_tests out)
  vrt_test_files(win32/*_test.cpp vrt_nothing_excluded names NAMES)
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# The Windows-only test programs that need nothing from the Linux side: they
# run under Wine as they are. The others are run by a test in tests/windows.
set(VRT_WIN32_STANDALONE_TESTS comm_settings_test program_resources_test)

# The unit tests that the cross build compiles (names without extension).
function(vrt_windows_unit_tests out)
  vrt_test_files(unit/*_test.cpp VRT_POSIX_ONLY_UNIT_TESTS names NAMES)
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# The support sources that this build compiles.
function(vrt_support_sources out)
  set(excluded vrt_nothing_excluded)
  if(WIN32)
    set(excluded VRT_POSIX_ONLY_SUPPORT)
  endif()
  vrt_test_files(support/*.cpp ${excluded} sources)
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
