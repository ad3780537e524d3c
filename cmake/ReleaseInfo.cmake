# What the release files of both systems are called and say: the program's
# version (which must equal the version resource), the DSP version as the
# program shows it, and whether the build carries the placeholder image.
# Sets VRT_DSP_VERSION, VRT_PACKAGE_VERSION (Debian), VRT_RELEASE_SUFFIX
# ("-placeholder" or "") and VRT_MSI_VERSION. Needs VRT_FIRMWARE_VERSION and
# VRT_PLACEHOLDER_IMAGE (firmware/).

file(READ ${PROJECT_SOURCE_DIR}/resources/Resources.cpp resources_text)
if(NOT resources_text MATCHES "\\.productVersion = {([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+)}")
  message(FATAL_ERROR "no productVersion found in resources/Resources.cpp")
endif()
set(resource_version "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}")
if(NOT resource_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "the project version ${PROJECT_VERSION} differs from the program's version "
                      "resource ${resource_version}; change both together")
endif()

# The DSP version as the program shows it: major.minor of the version byte.
math(EXPR dsp_major "(${VRT_FIRMWARE_VERSION} >> 4) & 7")
math(EXPR dsp_minor "${VRT_FIRMWARE_VERSION} & 15")
set(VRT_DSP_VERSION "${dsp_major}.${dsp_minor}")

# A build with the placeholder image says so in every file name, and its
# Debian version sorts before the same version with the real image, which
# then replaces it.
set(VRT_PACKAGE_VERSION ${PROJECT_VERSION})
set(VRT_RELEASE_SUFFIX "")
if(VRT_PLACEHOLDER_IMAGE)
  set(VRT_PACKAGE_VERSION ${PROJECT_VERSION}~placeholder)
  set(VRT_RELEASE_SUFFIX "-placeholder")
endif()

# The Windows installer compares only the first three parts of a version
# (major.minor.build, the build at most 65535) when it decides whether a
# package upgrades another; a fourth part is ignored, so 0.0.1.4 and 0.0.1.5
# would count as the same version. Our four parts are the utility's own two
# and the DSP image's major and minor (each below 100), so the installer's
# version keeps the first two and folds the last two into the build number:
# a.b.c.d becomes a.b.(100 c + d), 0.0.1.4 becomes 0.0.104. It grows
# whenever the four-part version grows, so a later release always upgrades.
set(msi_major ${PROJECT_VERSION_MAJOR})
set(msi_minor ${PROJECT_VERSION_MINOR})
if(PROJECT_VERSION_TWEAK GREATER 99 OR PROJECT_VERSION_PATCH GREATER 655
   OR msi_major GREATER 255 OR msi_minor GREATER 255)
  message(FATAL_ERROR "version ${PROJECT_VERSION} does not fit the installer's a.b.(100c+d) scheme")
endif()
math(EXPR msi_build "${PROJECT_VERSION_PATCH} * 100 + ${PROJECT_VERSION_TWEAK}")
set(VRT_MSI_VERSION "${msi_major}.${msi_minor}.${msi_build}")
