# Modules for MATLAB, when CMake finds one; they go to build/matlab/ with
# MATLAB's own extension (mexa64, mexmaci64, ...).
find_package(Matlab QUIET COMPONENTS MX_LIBRARY)
if(NOT Matlab_FOUND)
  return()
endif()
message(STATUS "MATLAB modules: ${Matlab_ROOT_DIR}")
foreach(module ${LF_MODULES})
  matlab_add_mex(NAME ${module}_matlab MODULE SRC ${${module}_SOURCES} common/mex_args.cpp
    OUTPUT_NAME ${module} LINK_TO lf_kernels)
  set_target_properties(${module}_matlab PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/matlab)
endforeach()
