# Checks the files the setup program packs, before makensis packs them:
#   cmake -DOBJDUMP=... -DDLL=... -DCHM=... -DINI=... -P CheckPackage.cmake
# DLL: a 64-bit Windows DLL (PE32+, x86-64) exporting the four entry points
# of a COM server. CHM: a compiled help file. INI: the factory preset bank
# with the plug-in's key and at least one preset. Any failure is fatal.

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
