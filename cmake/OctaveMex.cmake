# Modules for GNU Octave, built as MEX files with Octave's own flags, found
# through mkoctfile. They sit at the top of the build tree: build/<name>.mex.
find_program(MKOCTFILE mkoctfile)
if(NOT MKOCTFILE)
  message(STATUS "mkoctfile not found: no Octave modules")
  return()
endif()
execute_process(COMMAND ${MKOCTFILE} -p OCTINCLUDEDIR OUTPUT_VARIABLE OCTAVE_INCLUDE_DIR OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${MKOCTFILE} -p OCTLIBDIR OUTPUT_VARIABLE OCTAVE_LIB_DIR OUTPUT_STRIP_TRAILING_WHITESPACE)
find_program(OCTAVE_CLI octave-cli)
message(STATUS "Octave modules: mex.h in ${OCTAVE_INCLUDE_DIR}, libraries in ${OCTAVE_LIB_DIR}")

# lf_add_octave_mex(<name> <output directory> <sources>...): <directory>/<name>.mex.
function(lf_add_octave_mex name directory)
  add_library(${name} MODULE ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${OCTAVE_INCLUDE_DIR})
  target_link_directories(${name} PRIVATE ${OCTAVE_LIB_DIR})
  target_link_libraries(${name} PRIVATE octinterp octave)
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  target_link_options(${name} PRIVATE -Wl,-Bsymbolic)
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".mex" LIBRARY_OUTPUT_DIRECTORY ${directory})
endfunction()

foreach(module ${LF_MODULES})
  lf_add_octave_mex(${module} ${CMAKE_BINARY_DIR} ${${module}_SOURCES} common/mex_args.cpp)
  target_link_libraries(${module} PRIVATE lf_kernels)
endforeach()
