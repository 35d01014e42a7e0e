# Checks the files the setup program packs, before makensis packs them:
#   cmake -DOBJDUMP=... -DDLL=... -DCHM=... -DINI=... [-DCLAP=...] -P CheckPackage.cmake
# DLL: a 64-bit Windows DLL (PE32+, x86-64) exporting the four entry points
# of a COM server. CHM: a compiled help file. INI: the factory preset bank
# with the plug-in's key and at least one preset. CLAP (when given): a
# 64-bit Windows DLL exporting clap_entry and nothing else, that needs no
# DLL beyond the system's (no runtime of the compiler's: it is linked
# -static). Any failure is fatal.

cmake_minimum_required(VERSION 3.20)

foreach(var OBJDUMP DLL CHM INI)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "CheckPackage: ${var} is not set")
  endif()
endforeach()
foreach(file DLL CHM INI)
  if(NOT EXISTS "${${file}}" OR IS_DIRECTORY "${${file}}")
    message(FATAL_ERROR "CheckPackage: missing ${file}: ${${file}}")
  endif()
endforeach()

execute_process(COMMAND ${OBJDUMP} -p "${DLL}"
                OUTPUT_VARIABLE dump ERROR_VARIABLE dump_errors RESULT_VARIABLE dump_result)
if(NOT dump_result EQUAL 0)
  message(FATAL_ERROR "CheckPackage: ${DLL} is not a readable Windows module: ${dump_errors}")
endif()
if(NOT dump MATCHES "file format pei-x86-64")
  message(FATAL_ERROR "CheckPackage: ${DLL} is not a 64-bit (x86-64) Windows module")
endif()
if(NOT dump MATCHES "\nMagic[ \t]+020b")
  message(FATAL_ERROR "CheckPackage: ${DLL} is not a PE32+ image")
endif()
if(NOT dump MATCHES "\n[ \t]+DLL\n")
  message(FATAL_ERROR "CheckPackage: ${DLL} is not marked as a DLL")
endif()
foreach(export DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer)
  if(NOT dump MATCHES "\\[ *[0-9]+\\] ${export}\n")
    message(FATAL_ERROR "CheckPackage: ${DLL} does not export ${export}")
  endif()
endforeach()

if(DEFINED CLAP AND NOT CLAP STREQUAL "")
  if(NOT EXISTS "${CLAP}" OR IS_DIRECTORY "${CLAP}")
    message(FATAL_ERROR "CheckPackage: missing CLAP: ${CLAP}")
  endif()
  execute_process(COMMAND ${OBJDUMP} -p "${CLAP}" OUTPUT_VARIABLE clap_dump RESULT_VARIABLE clap_result ERROR_QUIET)
  if(NOT clap_result EQUAL 0 OR NOT clap_dump MATCHES "file format pei-x86-64" OR NOT clap_dump MATCHES "\n[ \t]+DLL\n")
    message(FATAL_ERROR "CheckPackage: ${CLAP} is not a 64-bit Windows DLL")
  endif()
  # The names: the lines of the name pointer table, up to the blank line.
  set(clap_exports "")
  string(FIND "${clap_dump}" "[Ordinal/Name Pointer] Table\n" names_at)
  if(names_at GREATER -1)
    string(SUBSTRING "${clap_dump}" ${names_at} -1 names)
    string(FIND "${names}" "\n\n" names_end)
    string(SUBSTRING "${names}" 0 ${names_end} names)
    string(REGEX MATCHALL "\n[ \t]+\\[ *[0-9]+\\] [^\n]+" clap_exports "${names}")
    string(REGEX REPLACE "\n[ \t]+\\[ *[0-9]+\\] " "" clap_exports "${clap_exports}")
  endif()
  if(NOT clap_exports STREQUAL "clap_entry")
    message(FATAL_ERROR "CheckPackage: ${CLAP} must export clap_entry alone; it exports: ${clap_exports}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" clap_imports "${clap_dump}")
  foreach(import IN LISTS clap_imports)
    string(TOLOWER "${import}" import)
    if(import MATCHES "libwinpthread|libstdc|libgcc|mingw")
      message(FATAL_ERROR "CheckPackage: ${CLAP} needs a DLL that is not the system's: ${import}")
    endif()
  endforeach()
endif()

file(SIZE "${CHM}" chm_size)
file(READ "${CHM}" chm_magic LIMIT 4 HEX)
if(NOT chm_magic STREQUAL "49545346" OR chm_size LESS 1024)
  message(FATAL_ERROR "CheckPackage: ${CHM} is not a compiled help file")
endif()

file(STRINGS "${INI}" key_lines REGEX "^CLSID=")
file(STRINGS "${INI}" preset_lines REGEX "^\\[Preset1\\]$")
set(plugin_key "CLSID=SOFTWARE\\Classes\\CLSID\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}")
if(NOT key_lines STREQUAL plugin_key OR preset_lines STREQUAL "")
  message(FATAL_ERROR "CheckPackage: ${INI} is not the plug-in's preset bank")
endif()
