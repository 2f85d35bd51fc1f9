cmake_minimum_required(VERSION 3.25)
# cmake -DSOURCE_DIR=... -DLINKS=... -DGUI_HEADERS=... -P CheckLayers.cmake
# Fails with one line per breach of the layers.

set(breaches "")

# 1. Core libraries link Qt Core at most.
file(STRINGS ${LINKS} lines)
foreach(line ${lines})
  string(REGEX MATCH "^([^=]+)=(.*)$" _ "${line}")
  set(target ${CMAKE_MATCH_1})
  string(REPLACE ";" " " closure "${CMAKE_MATCH_2}")
  separate_arguments(closure)
  foreach(library ${closure})
    # The production layer keeps its records through Qt SQL, which needs no more than Qt Core; the
    # layers above it link Qt SQL through it alone.
    set(allowed_qt "Core|SerialPort")
    if(target STREQUAL "quorvex_production" OR "quorvex_production" IN_LIST closure)
      set(allowed_qt "Core|SerialPort|Sql")
    endif()
    if(library MATCHES "^Qt6::" AND NOT library MATCHES "^Qt6::(${allowed_qt})$")
      list(APPEND breaches "${target} links ${library}")
    endif()
    if(library MATCHES "_ui$")
      list(APPEND breaches "${target} links the window library ${library}")
    endif()
  endforeach()
endforeach()

# 2. Folders include only what lies below them, and say so: a project header
# is included by its folder ("link/DeviceLink.h"), never by its bare name. A
# ui folder may include what its folder may, its folder itself, and the ui
# folders below it. The programs' folders (cli, sim, samples, demo, bench)
# stand on the core; only demo may show windows.
set(project_folders common link images files production procedures console operations app cli sim samples demo
  bench)
set(below_common "")
set(below_link common)
set(below_images common)
set(below_files link images common)
set(below_production files link images common)
set(below_procedures link images common)
set(below_console files link images common)
set(below_operations procedures console production files link images common)
set(below_app operations procedures console production files link images common)
set(below_cli operations procedures console production files link images common)
set(below_samples common)
set(below_sim link images samples common)
set(below_bench operations procedures console files link images samples sim common)
set(below_demo app operations procedures console files link images samples sim common
  app/ui procedures/ui console/ui link/ui common/ui)
set(window_folders demo)

file(READ ${GUI_HEADERS} gui_headers)

# The bare names of the project's own headers, to catch an include without its folder.
set(project_header_names "")
foreach(top ${project_folders})
  file(GLOB_RECURSE headers ${SOURCE_DIR}/${top}/*.h)
  foreach(header ${headers})
    get_filename_component(name ${header} NAME)
    list(APPEND project_header_names ${name})
  endforeach()
endforeach()

set(globs "")
foreach(top ${project_folders})
  list(APPEND globs ${SOURCE_DIR}/${top}/*.h ${SOURCE_DIR}/${top}/*.cpp)
endforeach()
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${globs})
foreach(source ${sources})
  string(REGEX MATCH "^([^/]+)(/ui)?" folder "${source}")
  set(top ${CMAKE_MATCH_1})
  set(is_ui ${CMAKE_MATCH_2})
  set(allowed ${top} ${below_${top}})
  if(is_ui)
    list(APPEND allowed ${top}/ui)
    foreach(lower ${below_${top}})
      list(APPEND allowed ${lower}/ui)
    endforeach()
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(include ${includes})
    string(REGEX MATCH "[<\"]([^>\"]+)[>\"]" _ "${include}")
    set(included ${CMAKE_MATCH_1})
    string(REGEX MATCH "^[^/]+" first "${included}")
    if(NOT is_ui AND NOT top IN_LIST window_folders
       AND (first STREQUAL "QtWidgets" OR first STREQUAL "QtGui" OR first IN_LIST gui_headers))
      list(APPEND breaches "${source} includes the window header <${included}>")
    endif()
    if(NOT included MATCHES "/")
      if(included IN_LIST project_header_names)
        list(APPEND breaches "${source} includes ${included} without its folder")
      endif()
      continue()
    endif()
    if(NOT first IN_LIST project_folders)
      continue()
    endif()
    string(REGEX MATCH "^([^/]+)/(ui/)?" _ "${included}")
    set(home ${CMAKE_MATCH_1})
    if(CMAKE_MATCH_2)
      set(home ${home}/ui)
    endif()
    if(NOT home IN_LIST allowed)
      list(APPEND breaches "${source} (${folder}) includes ${included} from ${home}")
    endif()
  endforeach()
endforeach()

# 3. Only a program's entry reaches the process-wide objects; the units that
# define them, and the context that gathers them, name them too.
set(process_wide "The(DeviceLink|MachineInfo|UserImage|FactoryImage|BootImage|SymbolTable)\\(|currentPortName|UserResultText|FactoryResultText")
set(owners link/DeviceLink.h link/DeviceLink.cpp operations/readout/MachineInfo.h operations/readout/MachineInfo.cpp
  images/UserImage.h images/UserImage.cpp images/FactoryImage.h images/FactoryImage.cpp images/BootImage.h
  images/BootImage.cpp images/SymbolTable.h images/SymbolTable.cpp procedures/ResultTexts.h
  procedures/ResultTexts.cpp operations/ToolContext.cpp)
file(GLOB_RECURSE product RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/common/*.cpp ${SOURCE_DIR}/common/*.h ${SOURCE_DIR}/link/*.cpp ${SOURCE_DIR}/link/*.h
  ${SOURCE_DIR}/images/*.cpp ${SOURCE_DIR}/images/*.h ${SOURCE_DIR}/files/*.cpp ${SOURCE_DIR}/files/*.h
  ${SOURCE_DIR}/production/*.cpp ${SOURCE_DIR}/production/*.h
  ${SOURCE_DIR}/procedures/*.cpp ${SOURCE_DIR}/procedures/*.h
  ${SOURCE_DIR}/console/*.cpp ${SOURCE_DIR}/console/*.h ${SOURCE_DIR}/operations/*.cpp ${SOURCE_DIR}/operations/*.h
  ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
  ${SOURCE_DIR}/cli/*.cpp ${SOURCE_DIR}/cli/*.h)
foreach(source ${product})
  get_filename_component(name ${source} NAME)
  if(source IN_LIST owners OR name STREQUAL "main.cpp")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} uses REGEX "${process_wide}")
  foreach(use ${uses})
    if(NOT use MATCHES "^[ \t]*//")
      string(STRIP "${use}" use)
      list(APPEND breaches "${source} reaches a process-wide object: ${use}")
    endif()
  endforeach()
endforeach()

if(breaches)
  list(JOIN breaches "\n  " text)
  message(FATAL_ERROR "The layers are broken:\n  ${text}")
endif()
message(STATUS "Layers hold: ${CMAKE_CURRENT_LIST_FILE}")
