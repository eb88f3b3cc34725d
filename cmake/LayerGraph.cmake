# The graph of the project's libraries, checked for cycles (CheckLayerGraph.cmake) when the project
# is configured and again by a build step whenever one of the libraries' files changes.
# orbelle_check_layer_graph() runs once every folder has made its targets.

# Every target made under a folder, its subfolders included.
function(_orbelle_targets_under dir out)
  get_property(_targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(_subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(_sub IN LISTS _subdirs)
    _orbelle_targets_under(${_sub} _more)
    list(APPEND _targets ${_more})
  endforeach()
  set(${out} ${_targets} PARENT_SCOPE)
endfunction()

function(orbelle_check_layer_graph)
  _orbelle_targets_under(${CMAKE_SOURCE_DIR} _all)
  set(_libs "")
  foreach(_t IN LISTS _all)
    get_target_property(_type ${_t} TYPE)
    if(_type MATCHES "_LIBRARY$")
      list(APPEND _libs ${_t})
    endif()
  endforeach()

  # Links to the project's own libraries (a private link of a static library shows in its
  # interface as $<LINK_ONLY:...>), and the folders of each library's sources.
  set(_graph "set(ORBELLE_GRAPH_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")\nset(ORBELLE_GRAPH_NODES \"${_libs}\")\n")
  set(_folders "")
  foreach(_t IN LISTS _libs)
    set(_links "")
    foreach(_property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(_entries ${_t} ${_property})
      foreach(_entry IN LISTS _entries)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.+)>$" "\\1" _entry "${_entry}")
        if(TARGET "${_entry}")
          get_target_property(_aliased ${_entry} ALIASED_TARGET)
          if(_aliased)
            set(_entry ${_aliased})
          endif()
          if(_entry IN_LIST _libs AND NOT _entry IN_LIST _links)
            list(APPEND _links ${_entry})
          endif()
        endif()
      endforeach()
    endforeach()
    string(APPEND _graph "set(ORBELLE_GRAPH_LINKS_${_t} \"${_links}\")\n")

    get_target_property(_sources ${_t} SOURCES)
    get_target_property(_source_dir ${_t} SOURCE_DIR)
    set(_sources_${_t} "")
    foreach(_src IN LISTS _sources)
      if(_src MATCHES "^\\$<")
        continue()
      endif()
      cmake_path(ABSOLUTE_PATH _src BASE_DIRECTORY ${_source_dir} NORMALIZE)
      cmake_path(IS_PREFIX CMAKE_SOURCE_DIR ${_src} NORMALIZE _inside)
      if(NOT _inside)
        continue()
      endif()
      file(RELATIVE_PATH _rel ${CMAKE_SOURCE_DIR} ${_src})
      cmake_path(GET _rel PARENT_PATH _folder)
      if(_folder STREQUAL "")
        continue()
      endif()
      list(APPEND _sources_${_t} ${_src})
      list(APPEND _folders ${_folder})
      list(APPEND _owners_${_folder} ${_t})
    endforeach()
  endforeach()

  # A folder belongs to the one library built from it: an include of "<folder>/x.h" is a
  # dependency on that library, and every file of the folder counts as the library's.
  # A folder shared by several libraries names none of them, and each reads only its own sources.
  list(REMOVE_DUPLICATES _folders)
  set(_files_all "")
  foreach(_folder IN LISTS _folders)
    list(REMOVE_DUPLICATES _owners_${_folder})
    list(LENGTH _owners_${_folder} _count)
    if(_count EQUAL 1)
      set(_owner ${_owners_${_folder}})
      string(APPEND _graph "set(ORBELLE_GRAPH_OWNER_${_folder} ${_owner})\n")
      file(GLOB _in_folder ${CMAKE_SOURCE_DIR}/${_folder}/*.h ${CMAKE_SOURCE_DIR}/${_folder}/*.hpp
           ${CMAKE_SOURCE_DIR}/${_folder}/*.c ${CMAKE_SOURCE_DIR}/${_folder}/*.cpp)
      list(APPEND _files_${_owner} ${_in_folder})
    endif()
  endforeach()
  foreach(_t IN LISTS _libs)
    list(APPEND _files_${_t} ${_sources_${_t}})
    list(REMOVE_DUPLICATES _files_${_t})
    list(APPEND _files_all ${_files_${_t}})
    string(APPEND _graph "set(ORBELLE_GRAPH_FILES_${_t} \"${_files_${_t}}\")\n")
  endforeach()

  set(_data ${CMAKE_BINARY_DIR}/layer_graph.cmake)
  file(CONFIGURE OUTPUT ${_data} CONTENT "${_graph}" @ONLY)
  set(ORBELLE_LAYER_GRAPH ${_data})
  include(${CMAKE_SOURCE_DIR}/cmake/CheckLayerGraph.cmake)

  set(_stamp ${CMAKE_BINARY_DIR}/layer_graph.checked)
  add_custom_command(OUTPUT ${_stamp}
    COMMAND ${CMAKE_COMMAND} -DORBELLE_LAYER_GRAPH=${_data} -P ${CMAKE_SOURCE_DIR}/cmake/CheckLayerGraph.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${_stamp}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/CheckLayerGraph.cmake ${_data} ${_files_all}
    COMMENT "Checking the libraries for a dependency cycle"
    VERBATIM)
  add_custom_target(orbelle_layer_graph ALL DEPENDS ${_stamp})
  foreach(_t IN LISTS _libs)
    add_dependencies(${_t} orbelle_layer_graph)
  endforeach()
endfunction()
