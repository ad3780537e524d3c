# Checks shared by the configure step and the build-time generator: the
# version must be one byte and the asset must fit the record's 16-bit length.
# Also which asset it is: the tree's placeholder or a real image.

# SHA-256 of the placeholder that firmware/make_placeholder.py writes.
set(VRT_PLACEHOLDER_SHA256 bfced5451032e1d9be8ff21f3bf0f61d3ca3cd24adb31a00af1219ff5c404d7d)

# Sets `out` to ON when `asset` is the placeholder, OFF otherwise.
function(vrt_firmware_is_placeholder asset out)
  file(SHA256 "${asset}" digest)
  if(digest STREQUAL VRT_PLACEHOLDER_SHA256)
    set(${out} ON PARENT_SCOPE)
  else()
    set(${out} OFF PARENT_SCOPE)
  endif()
endfunction()
function(vrt_check_firmware asset version out_version out_length)
  if(NOT EXISTS "${asset}")
    message(FATAL_ERROR "Firmware asset ${asset} does not exist")
  endif()
  if(NOT version MATCHES "^(0[xX][0-9a-fA-F]+|[0-9]+)$")
    message(FATAL_ERROR "Firmware version '${version}' is not a number (for example 0x14)")
  endif()
  math(EXPR value "${version}")
  if(value GREATER 255)
    message(FATAL_ERROR "Firmware version ${version} does not fit in one byte")
  endif()
  file(SIZE "${asset}" length)
  if(length GREATER 65535)
    message(FATAL_ERROR
      "Firmware asset ${asset} is ${length} bytes long; the image record holds "
      "at most 65535 bytes (its length field is 16 bits wide)")
  endif()
  set(${out_version} ${value} PARENT_SCOPE)
  set(${out_length} ${length} PARENT_SCOPE)
endfunction()
