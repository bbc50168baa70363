# The router build (-DVANT_ROUTER=ON): only what a router runs, the tools
# (vantctl, vant and the web page's vant-cgi), the daemon without its emulator
# and the client library, made small. The simulation modes, the tests,
# benchmarks, fuzz targets and the system packages are development tools and
# stay out, and with them the JSON library (vant has its own JSON writer and
# command line, docs/router.md).
if(NOT VANT_ROUTER)
  return()
endif()
if(VANT_SANITIZE OR VANT_FUZZ)
  message(FATAL_ERROR "VANT_ROUTER excludes VANT_SANITIZE and VANT_FUZZ")
endif()
set(VANT_BENCH OFF CACHE BOOL "" FORCE)
list(REMOVE_ITEM VANT_PARTS sim tests bench fuzz packaging)

include(CheckIPOSupported)
check_ipo_supported(RESULT lto_supported OUTPUT lto_error LANGUAGES CXX)
if(NOT lto_supported)
  message(FATAL_ERROR "the router build needs link-time optimisation: ${lto_error}")
endif()
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
# The client library is also linked into other programs as a shared object.
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_compile_options(-Os -ffunction-sections -fdata-sections)
add_link_options(-Os -Wl,--gc-sections -Wl,--as-needed -s)
