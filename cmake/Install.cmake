# Each module's help text beside the module in the build tree, and one
# install folder that holds the modules, their help and the m-code helpers,
# ready for addpath:  cmake --install build --prefix <folder>
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  # Not /usr/local: the modules are meant for one addpath folder.
  set(CMAKE_INSTALL_PREFIX ${CMAKE_BINARY_DIR}/lightfield CACHE PATH "Folder for the modules and helpers" FORCE)
endif()

# Every helper and demo file, as build_modules and the package take them: a
# helper added later needs no line here.
file(GLOB LF_MFILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/matlab/*.m ${PROJECT_SOURCE_DIR}/demo/*.m)
list(APPEND LF_MFILES ${PROJECT_SOURCE_DIR}/matlab/functionSignatures.json)

add_custom_target(lf_modules)
foreach(module ${LF_MODULES})
  # The help file sits next to the module's entry source, named as the module.
  list(GET ${module}_SOURCES 0 entry)
  get_filename_component(entry_dir ${entry} DIRECTORY)
  set(help ${PROJECT_SOURCE_DIR}/${entry_dir}/${module}.m)
  install(FILES ${help} DESTINATION .)
  if(TARGET ${module})
    configure_file(${help} ${CMAKE_BINARY_DIR}/${module}.m COPYONLY)
    add_dependencies(lf_modules ${module})
    install(TARGETS ${module} LIBRARY DESTINATION .)
  endif()
  if(TARGET ${module}_matlab)
    configure_file(${help} ${CMAKE_BINARY_DIR}/matlab/${module}.m COPYONLY)
    add_dependencies(lf_modules ${module}_matlab)
    install(TARGETS ${module}_matlab LIBRARY DESTINATION .)
  endif()
endforeach()
install(FILES ${LF_MFILES} DESTINATION .)
