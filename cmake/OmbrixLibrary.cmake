# One library a folder: its sources and private headers in src/, its public headers in
# include/ombrix/<library>/, so that every include names the library it comes from.
#   ombrix_add_library(<target> [QT])   QT switches on the meta-object compiler.
function(ombrix_add_library target)
  cmake_parse_arguments(ARG "QT" "" "" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/src/*.h)
  file(GLOB_RECURSE _headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/include/*.h)
  add_library(${target} STATIC ${_sources} ${_headers})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(ARG_QT)
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
  endif()
endfunction()
