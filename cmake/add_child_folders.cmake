# Adds every folder below the current one that has a CMakeLists.txt: each
# holds the tests, benchmarks or fuzz targets of one part, so a part adds its
# own without editing a shared list.
function(vant_add_child_folders)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
