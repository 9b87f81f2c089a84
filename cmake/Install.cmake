# Each module's help text beside the module in the build tree, and one
# install folder that holds the modules, their help and the m-code helpers,
# ready for addpath:  cmake --install build --prefix <folder>
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  # Not /usr/local: the modules are meant for one addpath folder.
  set(CMAKE_INSTALL_PREFIX ${CMAKE_BINARY_DIR}/lightfield CACHE PATH "Folder for the modules and helpers" FORCE)
endif()

set(LF_MFILES
  matlab/Contents.m
  matlab/functionSignatures.json
  matlab/lf_views_to_remapped.m
  matlab/lf_remapped_to_views.m
  matlab/lf_read_views.m
  matlab/lf_disparity_sweep.m
  matlab/lf_disparity_from_entropy.m
  matlab/lf_disparity_smooth.m
  matlab/lf_write_pfm.m
  matlab/lf_read_pfm.m
  matlab/lf_disparity_preview.m
  matlab/lf_disparity_score.m
  matlab/lf_all_in_focus.m
  matlab/lf_depth_batch.m
  demo/lf_synthetic_scene.m
  demo/lightfield_depth_demo.m)

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
