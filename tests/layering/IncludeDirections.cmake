# Fails when a source file includes a folder its layer must not reach. The
# core stands in layers, each on those below it and never on Qt: base; the
# platform's files and the threads on base; the talk seam on base; codecs on
# the threads; the pack format on the talk seam; the catalogue on the format
# and the platform; the pack (reader, writer) on the catalogue; the schemes on
# the pack and the codecs; sync on the schemes. Above the core: runtime and
# tools beside the GUI's kit (ui/), the editor on the kit, the main window
# (shell/) on the editor; the game's reader (runtime/) stands on the core but
# for sync.
# Run as: cmake -DSOURCE_DIR=<project> -P IncludeDirections.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed_base base)
set(allowed_platform platform base)
set(allowed_threads threads base)
set(allowed_talk talk base)
set(allowed_codecs codecs threads base)
set(allowed_format format talk base)
set(allowed_catalogue catalogue format talk platform threads base)
set(allowed_pack pack catalogue format talk platform threads codecs base)
set(allowed_schemes schemes pack catalogue format talk platform threads codecs base plugins)
set(allowed_sync sync schemes pack catalogue format talk platform threads codecs base plugins)
set(allowed_plugins plugins)
set(core base platform threads talk codecs format catalogue pack schemes sync plugins)
set(allowed_runtime runtime ${core})
list(REMOVE_ITEM allowed_runtime sync)
set(allowed_probes probes runtime)
set(allowed_tools tools ${core})
set(allowed_ui ui ${core})
set(allowed_editor editor ui ${core})
set(allowed_shell shell editor ui ${core})
set(layers ${core} runtime probes tools ui editor shell)
set(qt_free ${core} runtime probes tools)

set(faults "")
foreach(layer ${layers})
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(source ${sources})
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
    foreach(line ${includes})
      if(line MATCHES "#[ \t]*include[ \t]*\"([A-Za-z_]+)/")
        list(FIND allowed_${layer} "${CMAKE_MATCH_1}" at)
        if(at EQUAL -1 AND IS_DIRECTORY "${SOURCE_DIR}/${CMAKE_MATCH_1}")
          string(APPEND faults "${shown}: ${line}\n")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*<Q" AND layer IN_LIST qt_free)
        string(APPEND faults "${shown}: ${line} (this layer has no Qt)\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes against the layers' direction:\n${faults}")
endif()
