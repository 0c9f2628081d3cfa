# Compiles the Windows resource script with the cross windres and checks that
# the object carries the version information, the icon and the manifest.
# Run by CTest as: cmake -DWINDRES=... -DPREPROCESSOR=... -DRC_FILE=...
#   -DINCLUDE_DIR=... -DICON_FILE=... -DMANIFEST_FILE=... -DOBJECT_FILE=...
#   -DVERSION=<project version> -P check-windres.cmake
cmake_minimum_required(VERSION 3.16)

# A missing tool is a failure, not a pass: otherwise a broken script would
# go unnoticed on every machine without it.
if(NOT WINDRES OR NOT EXISTS "${WINDRES}")
    message(FATAL_ERROR "x86_64-w64-mingw32-windres not found (Debian package binutils-mingw-w64-x86-64)")
endif()
foreach(input RC_FILE ICON_FILE MANIFEST_FILE INCLUDE_DIR)
    if(NOT EXISTS "${${input}}")
        message(FATAL_ERROR "${input} '${${input}}' does not exist")
    endif()
endforeach()

# The version the object must carry: project()'s, in four numbers.
string(REPLACE "." ";" numbers "${VERSION}")
list(LENGTH numbers count)
if(NOT VERSION MATCHES "^[0-9]+(\\.[0-9]+)*$" OR count GREATER 4)
    message(FATAL_ERROR "VERSION '${VERSION}' is not one to four numbers")
endif()
while(count LESS 4)
    list(APPEND numbers 0)
    math(EXPR count "${count} + 1")
endwhile()
list(JOIN numbers "." version)
list(JOIN numbers ", " version_commas)

# windres preprocesses with a MinGW gcc by default, which a cross host may
# lack; the script uses no Windows headers, so the host's C preprocessor does.
file(REMOVE "${OBJECT_FILE}")
execute_process(
    COMMAND "${WINDRES}" "--preprocessor=${PREPROCESSOR}" --preprocessor-arg=-E --preprocessor-arg=-xc
        --preprocessor-arg=-DRC_INVOKED "--include-dir=${INCLUDE_DIR}" -O coff -i "${RC_FILE}" -o "${OBJECT_FILE}"
    RESULT_VARIABLE result
    ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT EXISTS "${OBJECT_FILE}")
    message(FATAL_ERROR "windres failed (${result}):\n${errors}")
endif()

file(READ "${OBJECT_FILE}" object HEX)
string(SUBSTRING "${object}" 0 4 machine)
if(NOT machine STREQUAL "6486")
    message(FATAL_ERROR "not an x86-64 COFF object (machine ${machine})")
endif()

# Byte sequences are compared as hex text, so a match must start on a byte.
function(require_bytes haystack needle what)
    set(offset 0)
    set(rest "${haystack}")
    while(TRUE)
        string(FIND "${rest}" "${needle}" pos)
        if(pos EQUAL -1)
            message(FATAL_ERROR "object lacks ${what}")
        endif()
        math(EXPR at "${offset} + ${pos}")
        math(EXPR odd "${at} % 2")
        if(NOT odd)
            return()
        endif()
        math(EXPR offset "${at} + 1")
        math(EXPR next "${pos} + 1")
        string(SUBSTRING "${rest}" ${next} -1 rest)
    endwhile()
endfunction()

# The icon resource holds the .ico's image (everything after its 22-byte
# directory) unchanged, and the manifest resource the manifest file.
file(READ "${ICON_FILE}" icon_image HEX OFFSET 22)
require_bytes("${object}" "${icon_image}" "the image of ${ICON_FILE}")
file(READ "${MANIFEST_FILE}" manifest HEX)
require_bytes("${object}" "${manifest}" "the content of ${MANIFEST_FILE}")
# VS_FIXEDFILEINFO: signature, structure version, then file and product
# version as two pairs of 32-bit little-endian words, major << 16 | minor
# and patch << 16 | tweak.
set(words "")
foreach(pair "0;1" "2;3")
    list(GET pair 0 high)
    list(GET pair 1 low)
    list(GET numbers ${high} high)
    list(GET numbers ${low} low)
    math(EXPR word "(${high} << 16) | ${low}" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${word}" 2 -1 word)
    string(LENGTH "${word}" length)
    while(length LESS 8)
        string(PREPEND word "0")
        math(EXPR length "${length} + 1")
    endwhile()
    # Little-endian: the bytes in reverse order.
    set(bytes "")
    foreach(at 6 4 2 0)
        string(SUBSTRING "${word}" ${at} 2 byte)
        string(APPEND bytes "${byte}")
    endforeach()
    string(APPEND words "${bytes}")
endforeach()
string(TOLOWER "bd04effe00000100${words}${words}" fixed)
require_bytes("${object}" "${fixed}" "the fixed version block ${version}")

# windres decompiles its own object; the text names each resource by type.
execute_process(
    COMMAND "${WINDRES}" -J coff -O rc -i "${OBJECT_FILE}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE decompiled
    ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "windres could not read back ${OBJECT_FILE}:\n${errors}")
endif()
set(expected
    "\"IDI_ICON1\" 14 /* RT_GROUP_ICON */"
    "Has 1 elements."
    "\"\\043\\041\\000\\000\", 1, 32,"
    " FILEVERSION ${version_commas}\n"
    " PRODUCTVERSION ${version_commas}\n"
    "VALUE \"FileVersion\", \"${version}\"\n"
    "VALUE \"ProductVersion\", \"${version}\"\n"
    "VALUE \"ProductName\", \"VelmoClient\"\n"
    "VALUE \"OriginalFilename\", \"VelmoClient.exe\"\n"
    "VALUE \"InternalName\", \"VelmoClient\"\n"
    "VALUE \"FileDescription\", \""
    "1 24 /* RT_MANIFEST */")
foreach(text IN LISTS expected)
    string(FIND "${decompiled}" "${text}" pos)
    if(pos EQUAL -1)
        message(FATAL_ERROR "decompiled resources lack '${text}':\n${decompiled}")
    endif()
endforeach()

file(READ "${MANIFEST_FILE}" manifest_text)
set(expected
    "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"
    "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\"")
foreach(text IN LISTS expected)
    string(FIND "${manifest_text}" "${text}" pos)
    if(pos EQUAL -1)
        message(FATAL_ERROR "${MANIFEST_FILE} lacks '${text}'")
    endif()
endforeach()
message(STATUS "${OBJECT_FILE}: version ${version}, icon IDI_ICON1 35x33x32, manifest asInvoker")
