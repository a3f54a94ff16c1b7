# Installs the build in BUILD_DIR into the scratch prefix PREFIX and checks
# that every file the desktop, the package and the window look for is there.
# Run by ctest as packaging.install_layout.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE result
  OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected
  "${BINDIR}/rivek"
  "${BINDIR}/rivek-tool"
  "${DATADIR}/applications/rivek.desktop"
  "${DATADIR}/metainfo/${APPSTREAM_ID}.metainfo.xml"
  "${DATADIR}/icons/hicolor/scalable/apps/rivek.svg"
  "${MANDIR}/man1/rivek.1.gz"
  "${MANDIR}/man1/rivek-tool.1.gz"
  "${DATADIR}/doc/rivek/guide.html"
  "${DATADIR}/doc/rivek/copyright"
  "${DATADIR}/doc/rivek/changelog.gz"
  "${DATADIR}/doc/rivek/examples/README.md"
  "${DATADIR}/doc/rivek/examples/koch-01.dat"
  "${DATADIR}/doc/rivek/examples/kana.dat")
foreach(size IN ITEMS 16 32 48 64 128 256)
  list(APPEND expected "${DATADIR}/icons/hicolor/${size}x${size}/apps/rivek.png")
endforeach()
get_filename_component(source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
# The guide's pictures, beside it.
file(GLOB pictures RELATIVE "${source_dir}/docs" "${source_dir}/docs/*.png")
foreach(picture IN LISTS pictures)
  list(APPEND expected "${DATADIR}/doc/rivek/${picture}")
endforeach()

set(missing "")
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    list(APPEND missing "${path}")
  endif()
endforeach()
foreach(program IN ITEMS rivek rivek-tool)
  if(EXISTS "${PREFIX}/${BINDIR}/${program}" AND NOT IS_DIRECTORY "${PREFIX}/${BINDIR}/${program}")
    file(READ "${PREFIX}/${BINDIR}/${program}" magic LIMIT 4 HEX)
    if(NOT magic STREQUAL "7f454c46")
      list(APPEND missing "${BINDIR}/${program} (not an ELF program)")
    endif()
  endif()
endforeach()

# Help > Support Page opens <exe dir>/../share/doc/rivek/guide.html.
if(NOT EXISTS "${PREFIX}/${BINDIR}/../share/doc/rivek/guide.html")
  list(APPEND missing "guide.html is not at <exe dir>/../share/doc/rivek/")
endif()

# rivek-tool drill --pool SET finds <exe dir>/../share/doc/rivek/examples.
set(drill_out "${PREFIX}/drill-check.wav")
execute_process(
  COMMAND "${PREFIX}/${BINDIR}/rivek-tool" drill --pool koch-05 --groups 1 --seed 1 "${drill_out}"
  RESULT_VARIABLE drill_result ERROR_VARIABLE drill_error)
if(NOT drill_result EQUAL 0 OR NOT EXISTS "${drill_out}")
  list(APPEND missing "rivek-tool drill --pool koch-05 does not find the example sets: ${drill_error}")
endif()
file(REMOVE "${drill_out}" "${PREFIX}/drill-check.txt")

if(missing)
  list(JOIN missing "\n  " text)
  message(FATAL_ERROR "Not installed under ${PREFIX}:\n  ${text}")
endif()
message(STATUS "Install layout complete under ${PREFIX}")
