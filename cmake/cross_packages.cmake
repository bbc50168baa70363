# What a cross build takes from the build machine: header-only libraries are
# the same for every target, but their installed CMake packages point at
# /usr/include, which must not reach a cross compiler (the build machine's C
# library headers live there). Each gets a package of its own that exposes
# only its own headers, through a link in the build tree.
set(VANT_CROSS_PACKAGES ${CMAKE_BINARY_DIR}/cross-packages)
set(VANT_CROSS_INCLUDE ${CMAKE_BINARY_DIR}/cross-include)

function(vant_cross_header_package package version header_dir)
  file(MAKE_DIRECTORY ${VANT_CROSS_INCLUDE} ${VANT_CROSS_PACKAGES}/${package})
  get_filename_component(name ${header_dir} NAME)
  file(CREATE_LINK ${header_dir} ${VANT_CROSS_INCLUDE}/${name} SYMBOLIC)
  string(CONCAT config
    "if(NOT TARGET ${package}::${package})\n"
    "  add_library(${package}::${package} INTERFACE IMPORTED)\n"
    "  set_target_properties(${package}::${package} PROPERTIES\n"
    "    INTERFACE_INCLUDE_DIRECTORIES \"${VANT_CROSS_INCLUDE}\")\n"
    "endif()\n")
  file(WRITE ${VANT_CROSS_PACKAGES}/${package}/${package}Config.cmake "${config}")
  include(CMakePackageConfigHelpers)
  write_basic_package_version_file(
    ${VANT_CROSS_PACKAGES}/${package}/${package}ConfigVersion.cmake
    VERSION ${version} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
  set(${package}_DIR ${VANT_CROSS_PACKAGES}/${package} CACHE PATH "" FORCE)
endfunction()

# Takes the version from Debian's own package of the library, when it and the
# headers are installed.
function(vant_cross_debian_header_package package header_dir)
  set(version_file /usr/share/cmake/${package}/${package}ConfigVersion.cmake)
  if(NOT EXISTS ${version_file} OR NOT EXISTS ${header_dir})
    return()
  endif()
  file(STRINGS ${version_file} version REGEX "set\\(PACKAGE_VERSION ")
  string(REGEX MATCH "[0-9.]+" version "${version}")
  vant_cross_header_package(${package} ${version} ${header_dir})
endfunction()

# nlohmann-json (Debian's nlohmann-json3-dev): the emulator's scenarios.
vant_cross_debian_header_package(nlohmann_json /usr/include/nlohmann)
