# Builds the Debian package from the build in BUILD_DIR, as scripts/package
# does (cpack -G DEB), into OUT_DIR and checks it with lintian: not one error
# or warning. Run by ctest as packaging.lintian; skipped where lintian is not
# installed (scripts/deps test installs it).
if(NOT LINTIAN)
  message("SKIPPED: lintian is not installed")
  return()
endif()

file(REMOVE_RECURSE "${OUT_DIR}")
file(MAKE_DIRECTORY "${OUT_DIR}")
execute_process(
  COMMAND "${CPACK}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${OUT_DIR}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
file(GLOB packages "${OUT_DIR}/rivek_*.deb")
if(NOT result EQUAL 0 OR NOT packages)
  message(FATAL_ERROR "cpack made no package (${result}):\n${output}")
endif()

# Every tag lintian shows by default: errors (E:) and warnings (W:) fail.
execute_process(
  COMMAND "${LINTIAN}" ${packages}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE report
  ERROR_VARIABLE report)
message("${report}")
string(REGEX MATCHALL "(^|\n)[EW]: [^\n]*" findings "${report}")
if(findings OR NOT result EQUAL 0)
  message(FATAL_ERROR "lintian found errors or warnings (exit status ${result})")
endif()
message(STATUS "lintian accepts ${packages}")
