# Compiles the help project into a .chm with chmcmd, for the help target of
# resources/CMakeLists.txt (run with cmake -P at build time):
#   -DCHMCMD=<chmcmd> -DSOURCE=<folder of the help sources>
#   -DWORK=<scratch folder in the build tree> -DPROJECT=<name>.hhp
#   -DOUTPUT=<where the .chm goes>
# chmcmd writes its output beside the project file, so the sources are
# copied into WORK first and the source tree stays clean. chmcmd's exit code
# is not enough on its own (a missing project file still gives 0, a missing
# page only a warning), so any warning, error or missing output fails too.
foreach(var CHMCMD SOURCE WORK PROJECT OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CompileHelp.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(GLOB sources "${SOURCE}/*")
file(COPY ${sources} DESTINATION "${WORK}")

# The project names its compiled file; read it back from the copy.
file(STRINGS "${WORK}/${PROJECT}" compiled REGEX "^Compiled file=")
string(REGEX REPLACE "^Compiled file=" "" compiled "${compiled}")
string(STRIP "${compiled}" compiled)
if(compiled STREQUAL "")
  message(FATAL_ERROR "${PROJECT} names no compiled file")
endif()

execute_process(
  COMMAND "${CHMCMD}" "${PROJECT}"
  WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE out
  ERROR_VARIABLE out)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "chmcmd failed (${result}):\n${out}")
endif()
if(out MATCHES "(Warning|Error|rror:|exception|Can't)")
  message(FATAL_ERROR "chmcmd reported a problem:\n${out}")
endif()
if(NOT EXISTS "${WORK}/${compiled}")
  message(FATAL_ERROR "chmcmd wrote no ${compiled}:\n${out}")
endif()

get_filename_component(dest_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${dest_dir}")
file(COPY_FILE "${WORK}/${compiled}" "${OUTPUT}")
