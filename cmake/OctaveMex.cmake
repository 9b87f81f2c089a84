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

foreach(module ${LF_MODULES})
  add_library(${module} MODULE ${${module}_SOURCES} common/mex_args.cpp)
  target_include_directories(${module} PRIVATE ${OCTAVE_INCLUDE_DIR})
  target_link_directories(${module} PRIVATE ${OCTAVE_LIB_DIR})
  target_link_libraries(${module} PRIVATE lf_kernels octinterp octave)
  target_compile_options(${module} PRIVATE -Wall -Wextra)
  target_link_options(${module} PRIVATE -Wl,-Bsymbolic)
  set_target_properties(${module} PROPERTIES PREFIX "" SUFFIX ".mex"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endforeach()
