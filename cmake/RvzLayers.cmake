# Include roots that follow the architecture. No target publishes the
# project root: each layer publishes a folder that holds only itself (a
# link to its source folder under the same path), so a unit sees the
# headers of its own layer and of the layers it links to, and an include
# of anything else fails to build. Platform layers are the folders under
# platform/ (platform/text, platform/data with its dialect folder jet, ...);
# the system's layers are the top-level folders (services, host, ...).
# Tests, benchmarks and the other programs at the top see the whole tree.
#
# rvz_apply_layers() also refuses to configure when a platform target
# links a target of the system: the system depends on platform/, never the
# reverse.

set(_rvz_top_level_dirs tests bench clients packaging)

function(_rvz_layer_dirs dir out)
  set(dirs ${dir})
  get_property(subs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subs)
    _rvz_layer_dirs(${sub} more)
    list(APPEND dirs ${more})
  endforeach()
  set(${out} ${dirs} PARENT_SCOPE)
endfunction()

# The layer a source folder belongs to, relative to the project root; empty
# for the root and the top-level programs.
function(_rvz_layer_of dir out)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
  string(REGEX MATCH "^[^/]+" top "${rel}")
  if(rel STREQUAL "" OR top IN_LIST _rvz_top_level_dirs OR rel STREQUAL "platform")
    set(${out} "" PARENT_SCOPE)
  elseif(top STREQUAL "platform")
    string(REGEX MATCH "^platform/[^/]+" layer "${rel}")
    set(${out} ${layer} PARENT_SCOPE)
  else()
    set(${out} ${top} PARENT_SCOPE)
  endif()
endfunction()

# A platform target must not link a target of the system.
function(_rvz_check_platform_links t layer)
  get_target_property(links ${t} LINK_LIBRARIES)
  get_target_property(ilinks ${t} INTERFACE_LINK_LIBRARIES)
  foreach(dep IN LISTS links ilinks)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" dep "${dep}")
    if(NOT TARGET "${dep}")
      continue()
    endif()
    get_target_property(imported ${dep} IMPORTED)
    if(imported)
      continue()
    endif()
    get_target_property(depdir ${dep} SOURCE_DIR)
    _rvz_layer_of(${depdir} deplayer)
    if(NOT deplayer MATCHES "^platform/")
      message(FATAL_ERROR "${t} (${layer}) links ${dep} of ${deplayer}: platform code must not depend on the system")
    endif()
  endforeach()
endfunction()

# Gives every target of a layer its include root, and checks the links of
# the platform's targets.
function(rvz_apply_layers)
  _rvz_layer_dirs(${PROJECT_SOURCE_DIR} dirs)
  foreach(dir IN LISTS dirs)
    _rvz_layer_of(${dir} layer)
    if(layer STREQUAL "")
      continue()
    endif()
    string(REPLACE "/" "-" tag ${layer})
    set(root ${PROJECT_BINARY_DIR}/include-roots/${tag})
    get_filename_component(parent ${root}/${layer} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    # Made afresh on every run: a build folder may outlive a moved source tree.
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${layer} ${root}/${layer} SYMBOLIC)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t IN LISTS targets)
      get_target_property(type ${t} TYPE)
      if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${t} INTERFACE ${root})
      elseif(type STREQUAL "EXECUTABLE")
        target_include_directories(${t} PRIVATE ${root})
      elseif(type MATCHES "^(STATIC|SHARED|OBJECT|MODULE)_LIBRARY$")
        target_include_directories(${t} PUBLIC ${root})
      endif()
      if(layer MATCHES "^platform/")
        _rvz_check_platform_links(${t} ${layer})
      endif()
    endforeach()
  endforeach()
endfunction()
