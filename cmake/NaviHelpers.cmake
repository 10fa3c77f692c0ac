# One static library per subsystem folder: every .cpp below the folder, except
# files named main.cpp (entry points) is part of it. Headers live beside the
# sources and are included as "<subsystem>/<file>.h".
set(NAVI_LIBRARIES "" CACHE INTERNAL "")

function(navi_add_library name)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  if(NOT srcs)
    # A subsystem folder whose first sources are still being written.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  else()
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
  set(NAVI_LIBRARIES ${NAVI_LIBRARIES} ${name} CACHE INTERNAL "")
endfunction()
