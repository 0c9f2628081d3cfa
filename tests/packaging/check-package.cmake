# Builds the Debian package from the build tree and checks what it holds.
# -DBUILD_DIR=<build tree> -DWORK_DIR=<scratch folder> -DQT_MAJOR=<5 or 6>
# -DDESKTOP_ID=<the launcher's reverse-DNS name on the desktop>

function(require text pattern what)
    if(NOT text MATCHES "${pattern}")
        message(FATAL_ERROR "package check: ${what} missing (looked for ${pattern})\n${text}")
    endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND cpack -G DEB -B ${WORK_DIR} --config ${BUILD_DIR}/CPackConfig.cmake
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed:\n${output}")
endif()
file(GLOB debs ${WORK_DIR}/velmoclient_*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package in ${WORK_DIR}, found: ${debs}")
endif()

execute_process(COMMAND dpkg-deb -c ${debs} OUTPUT_VARIABLE contents COMMAND_ERROR_IS_FATAL ANY)
require("${contents}" "-rwxr-xr-x [^\n]* \\./usr/bin/VelmoClient\n" "program")
string(REPLACE "." "\\." id_pattern "${DESKTOP_ID}")
require("${contents}" " \\./usr/share/applications/${id_pattern}\\.desktop\n" "desktop entry")
foreach(size 16 24 32 48 64 128 256)
    require("${contents}" " \\./usr/share/icons/hicolor/${size}x${size}/apps/velmoclient\\.png\n" "${size} px icon")
endforeach()
require("${contents}" " \\./usr/share/icons/hicolor/scalable/apps/velmoclient\\.svg\n" "scalable icon")
require("${contents}" "-rwxr-xr-x [^\n]* \\./usr/lib/[^\n]*velmoclient/xfreerdp\n" "client wrapper")
require("${contents}" " \\./usr/lib/[^\n]*velmoclient/Version\\.ini\n" "Version.ini")
require("${contents}" "-rwxr-xr-x [^\n]* \\./usr/lib/[^\n]*velmoclient/velmoclient-kiosk-session\n" "kiosk session")
require("${contents}" " \\./usr/share/xsessions/velmoclient-kiosk\\.desktop\n" "kiosk session entry")
require("${contents}" " \\./usr/lib/[^\n]*velmoclient/libvelmo_portalview\\.so\n" "portal module")
require("${contents}" " \\./usr/share/doc/velmoclient/copyright\n" "copyright file")
require("${contents}" " \\./usr/share/doc/velmoclient/examples/ClientConfig\\.ini\n" "example system file")
require("${contents}" " \\./usr/share/doc/velmoclient/changelog\\.gz\n" "changelog")
require("${contents}" " \\./usr/share/man/man1/VelmoClient\\.1\\.gz\n" "manual page")
require("${contents}" " \\./usr/share/metainfo/${id_pattern}\\.metainfo\\.xml\n" "AppStream metadata")
if(contents MATCHES "/usr/local|/tmp/|/build")
    message(FATAL_ERROR "package holds a build path:\n${contents}")
endif()

execute_process(COMMAND dpkg-deb -I ${debs} OUTPUT_VARIABLE info COMMAND_ERROR_IS_FATAL ANY)
require("${info}" "\n Package: velmoclient\n" "package name")
require("${info}" "\n Version: 2\\.1\\.0\n" "version")
require("${info}" "\n Maintainer: [^\n]+<[^\n]+@[^\n]+>\n" "maintainer")
require("${info}" "\n Description: [^\n]+\n  [^\n]+" "description")
require("${info}" "\n Depends: ([^\n]*, )?freerdp3-x11 \\| freerdp2-x11[,\n]" "either FreeRDP")
# The Qt libraries and QtKeychain must be depended on by the names this
# release gives them (Debian 13 renamed them for 64-bit time): asked from
# dpkg, not written here.
set(major ${QT_MAJOR})
foreach(library libQt${major}WebEngineWidgets.so.${major} libQt${major}Widgets.so.${major} libQt${major}Network.so.${major}
        libQt${major}Core.so.${major} libqt${major}keychain.so.1)
    execute_process(COMMAND dpkg-query -S "*/${library}" OUTPUT_VARIABLE owner COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCH "^[^:,]+" dependency "${owner}")
    require("${info}" "\n Depends: ([^\n]*[ ,])?${dependency}[ ,(\n]" "dependency ${dependency} (${library})")
endforeach()

# The entry starts the launcher in the directory that holds the client.
execute_process(COMMAND dpkg-deb -x ${debs} ${WORK_DIR}/root COMMAND_ERROR_IS_FATAL ANY)
set(entry ${WORK_DIR}/root/usr/share/applications/${DESKTOP_ID}.desktop)
file(READ ${entry} desktop)
require("${desktop}" "\nExec=/usr/bin/VelmoClient\n" "Exec= line")
require("${desktop}" "\nIcon=velmoclient\n" "Icon= line")
# Docks match a window to its entry by X11 class (the program's name) or by
# Wayland app id (the entry's name, which the program sets; Qt keeps it in
# UTF-16).
require("${desktop}" "\nStartupWMClass=VelmoClient\n" "StartupWMClass= line")
file(STRINGS ${WORK_DIR}/root/usr/bin/VelmoClient app_ids ENCODING UTF-16LE REGEX "^${id_pattern}$")
if(NOT app_ids)
    message(FATAL_ERROR "the program does not name ${DESKTOP_ID} as its desktop file name")
endif()
file(READ ${WORK_DIR}/root/usr/share/metainfo/${DESKTOP_ID}.metainfo.xml appstream)
require("${appstream}" "<id>${id_pattern}</id>" "AppStream id")
require("${appstream}" "<launchable type=\"desktop-id\">${id_pattern}\\.desktop</launchable>" "AppStream launchable")
string(REGEX MATCH "\nPath=([^\n]*)\n" _ "${desktop}")
set(run_dir ${CMAKE_MATCH_1})
if(NOT EXISTS ${WORK_DIR}/root${run_dir}/xfreerdp OR NOT EXISTS ${WORK_DIR}/root${run_dir}/Version.ini)
    message(FATAL_ERROR "Path=${run_dir} does not hold the client and Version.ini")
endif()
file(READ ${WORK_DIR}/root${run_dir}/xfreerdp wrapper)
require("${wrapper}" "^#!/bin/sh\n" "client wrapper interpreter")
require("${wrapper}" "\nfor client in /usr/bin/xfreerdp3 /usr/bin/xfreerdp; do\n" "client order")
# The program looks for its portal module relative to itself.
file(STRINGS ${WORK_DIR}/root/usr/bin/VelmoClient module_paths REGEX "^/[^ ]*libvelmo_portalview\\.so$")
set(module_found FALSE)
foreach(relative ${module_paths})
    if(EXISTS ${WORK_DIR}/root/usr/bin${relative})
        set(module_found TRUE)
    endif()
endforeach()
if(NOT module_found)
    message(FATAL_ERROR "the program looks for its module at '${module_paths}' (from /usr/bin), not where the package has it")
endif()
file(READ ${WORK_DIR}/root${run_dir}/Version.ini version_ini)
require("${version_ini}" "\\[General\\]\nPublish_Date=[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]\n" "build date")

# The kiosk session runs the launcher there too, through its restart script.
set(session_entry ${WORK_DIR}/root/usr/share/xsessions/velmoclient-kiosk.desktop)
file(READ ${session_entry} session)
require("${session}" "\nExec=${run_dir}/velmoclient-kiosk-session\n" "kiosk session Exec= line")
file(READ ${WORK_DIR}/root${run_dir}/velmoclient-kiosk-session session_script)
require("${session_script}" "^#!/bin/sh\n" "kiosk session interpreter")
require("${session_script}" "\nprogram=/usr/bin/VelmoClient\n" "kiosk session's program")
require("${session_script}" "\ncd \"${run_dir}\" " "kiosk session's working folder")

foreach(file ${entry} ${session_entry})
    execute_process(COMMAND desktop-file-validate ${file} RESULT_VARIABLE result OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    if(NOT result EQUAL 0 OR NOT output STREQUAL "")
        message(FATAL_ERROR "desktop-file-validate:\n${output}")
    endif()
endforeach()

# Software centres list the launcher by its AppStream metadata.
file(GLOB metainfo ${WORK_DIR}/root/usr/share/metainfo/*.metainfo.xml)
# Every remark, down to the pedantic ones, fails the check.
execute_process(COMMAND appstreamcli validate --pedantic --no-net ${metainfo} RESULT_VARIABLE result
    OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR output MATCHES "(^|\n)[EWIP]: ")
    message(FATAL_ERROR "appstreamcli validate --pedantic ${metainfo}:\n${output}")
endif()
# What a software centre shows beside the description.
foreach(part "<screenshot type=\"default\">" "<caption>" "<url type=\"help\">" "<url type=\"bugtracker\">"
        "<release [^>]*>[ \n]*<description>")
    require("${appstream}" "${part}" "AppStream ${part}")
endforeach()

# Debian's own package check, pedantic: no remark at all but this one.
# CPack's maintainer scripts call ldconfig for any library under /usr/lib,
# the portal module too, which is loaded by path and needs no cache.
execute_process(COMMAND lintian --pedantic --tag-display-limit 0 ${debs} RESULT_VARIABLE result OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
if(NOT result MATCHES "^[01]$")
    message(FATAL_ERROR "lintian did not run (${result}):\n${output}")
endif()
string(REGEX REPLACE "W: velmoclient: maintscript-calls-ldconfig \\[post(inst|rm)\\]" "" remaining "${output}")
if(remaining MATCHES "(^|\n)[EWIPX]: ")
    message(FATAL_ERROR "lintian:\n${output}")
endif()
message(STATUS "package ${debs} checked")
