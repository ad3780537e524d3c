# Which test sources a build compiles. The Windows cross build takes the unit
# tests that do not need this machine's devices, and the Linux build runs
# the same list under Wine, so both read it from here.

# Unit tests of the Linux backends only.
set(VRT_POSIX_ONLY_UNIT_TESTS port_names_test)
# Test support that drives pseudo-terminals, processes or an X display.
set(VRT_POSIX_ONLY_SUPPORT PortHolder PtyPc PtyPort ServedScanner WinePrefix XSession)

# The *_test.cpp files of tests/<folder> that this build compiles.
function(vrt_test_sources folder out)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${folder}/*_test.cpp)
  if(WIN32)
    foreach(name ${VRT_POSIX_ONLY_UNIT_TESTS})
      list(FILTER sources EXCLUDE REGEX "/${name}\\.cpp$")
    endforeach()
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# The cross build's own test programs (tests/win32/*_test.cpp, names without
# extension): Windows-only tests that a Linux test of the windows label runs
# under Wine against a scanner on a pseudo-terminal.
function(vrt_win32_tests out)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/win32/*_test.cpp)
  set(names)
  foreach(src ${sources})
    get_filename_component(name ${src} NAME_WE)
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# The Windows-only test programs that need nothing from the Linux side: they
# run under Wine as they are. The others are run by a test in tests/windows.
set(VRT_WIN32_STANDALONE_TESTS comm_settings_test)

# The unit tests that the cross build compiles (names without extension).
function(vrt_windows_unit_tests out)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/unit/*_test.cpp)
  set(names)
  foreach(src ${sources})
    get_filename_component(name ${src} NAME_WE)
    if(NOT name IN_LIST VRT_POSIX_ONLY_UNIT_TESTS)
      list(APPEND names ${name})
    endif()
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# The support sources that this build compiles.
function(vrt_support_sources out)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/support/*.cpp)
  if(WIN32)
    foreach(name ${VRT_POSIX_ONLY_SUPPORT})
      list(FILTER sources EXCLUDE REGEX "/${name}\\.cpp$")
    endforeach()
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
