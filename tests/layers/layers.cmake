# The window-free layers: the areas below include no header of the Qt modules in
# KRVS_WINDOW_MODULES, and their libraries do not link those modules, directly or
# through another library. Message boxes and dialogs belong to src/ui and the
# window areas. The facts are gathered here, when the build is configured, and
# judged by tst_layers (check_layers.cmake).
set(KRVS_WINDOW_FREE_AREAS util db search settings export)
set(KRVS_WINDOW_MODULES Widgets Gui)

# Everything a target links, through every library it links: one line per library
# reached, "target|target > ... > library".
function(krvs_link_closure target out)
  set(_lines "")
  set(_seen ${target})
  set(_todo ${target})
  set(_chain_${target} ${target})
  while(_todo)
    list(POP_FRONT _todo _t)
    string(MAKE_C_IDENTIFIER "${_t}" _id)
    if(NOT TARGET ${_t})
      continue()
    endif()
    get_target_property(_type ${_t} TYPE)
    set(_libs "")
    foreach(_prop INTERFACE_LINK_LIBRARIES LINK_LIBRARIES)
      if(_prop STREQUAL "LINK_LIBRARIES" AND (_type STREQUAL "INTERFACE_LIBRARY" OR _type STREQUAL "SHARED_LIBRARY" OR _type STREQUAL "UNKNOWN_LIBRARY"))
        continue()
      endif()
      get_target_property(_l ${_t} ${_prop})
      if(_l)
        list(APPEND _libs ${_l})
      endif()
    endforeach()
    foreach(_l ${_libs})
      # A static library's private links show as $<LINK_ONLY:...>; they still end
      # up in every program that links it.
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" _l "${_l}")
      if(_l IN_LIST _seen)
        continue()
      endif()
      list(APPEND _seen ${_l})
      string(MAKE_C_IDENTIFIER "${_l}" _lid)
      set(_chain_${_lid} "${_chain_${_id}} > ${_l}")
      list(APPEND _lines "${target}|${_chain_${_lid}}")
      list(APPEND _todo ${_l})
    endforeach()
  endwhile()
  set(${out} "${_lines}" PARENT_SCOPE)
endfunction()

set(_facts "")
foreach(_area ${KRVS_WINDOW_FREE_AREAS})
  krvs_link_closure(krvs_${_area} _closure)
  foreach(_line ${_closure})
    string(APPEND _facts "link|${_line}\n")
  endforeach()
endforeach()
# The class headers of the window modules (QWidget, QMessageBox, QColor, ...).
foreach(_module ${KRVS_WINDOW_MODULES})
  get_target_property(_dirs Qt6::${_module} INTERFACE_INCLUDE_DIRECTORIES)
  foreach(_dir ${_dirs})
    if(_dir MATCHES "/Qt${_module}$")
      file(GLOB _headers RELATIVE ${_dir} ${_dir}/Q*)
      foreach(_h ${_headers})
        if(NOT _h MATCHES "\\.")
          string(APPEND _facts "header|${_module}|${_h}\n")
        endif()
      endforeach()
    endif()
  endforeach()
endforeach()
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/layers-facts.txt "${_facts}")

list(JOIN KRVS_WINDOW_FREE_AREAS "," _areas)
list(JOIN KRVS_WINDOW_MODULES "," _modules)
add_test(NAME tst_layers
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DAREAS=${_areas} -DMODULES=${_modules}
                 -DFACTS=${CMAKE_CURRENT_BINARY_DIR}/layers-facts.txt
                 -P ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)
