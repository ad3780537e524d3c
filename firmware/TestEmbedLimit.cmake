# Runs EmbedFirmware.cmake on assets at and just past the record's capacity.
#   cmake -DEMBED_SCRIPT=<EmbedFirmware.cmake> -DWORK_DIR=<scratch folder> -P TestEmbedLimit.cmake
cmake_minimum_required(VERSION 3.25)

file(MAKE_DIRECTORY "${WORK_DIR}")

function(embed size out_result out_output)
  string(REPEAT "A" ${size} content)
  file(WRITE "${WORK_DIR}/asset-${size}.bin" "${content}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DASSET=${WORK_DIR}/asset-${size}.bin -DVERSION=0x14
            -DOUTPUT=${WORK_DIR}/image-${size}.cpp -P ${EMBED_SCRIPT}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

embed(65535 result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "a 65535-byte asset was refused:\n${output}")
endif()
file(READ "${WORK_DIR}/image-65535.cpp" generated)
if(NOT generated MATCHES "\n    65535,\n")
  message(FATAL_ERROR "the record generated from a 65535-byte asset does not say 65535")
endif()

embed(65536 result output)
if(result EQUAL 0)
  message(FATAL_ERROR "a 65536-byte asset was embedded")
endif()
string(REGEX REPLACE "[ \n]+" " " output "${output}")  # CMake wraps messages
if(NOT output MATCHES "is 65536 bytes long; the image record holds at most 65535 bytes")
  message(FATAL_ERROR "a 65536-byte asset failed without the expected message:\n${output}")
endif()
if(EXISTS "${WORK_DIR}/image-65536.cpp")
  message(FATAL_ERROR "a 65536-byte asset left a generated record behind")
endif()

message(STATUS "65535 bytes embed; 65536 bytes stop the build with a clear message")
