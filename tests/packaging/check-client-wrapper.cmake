# The run folder's "xfreerdp" against a stand-in bin folder, while FreeRDP
# versions come and go. -DTEMPLATE=<packaging/xfreerdp.in> -DWORK_DIR=<scratch>

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/bin)
set(VELMO_FREERDP_BINDIR ${WORK_DIR}/bin)
configure_file(${TEMPLATE} ${WORK_DIR}/xfreerdp @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# A stand-in client prints its name and each argument on a line of its own.
function(install_client name)
    file(WRITE ${WORK_DIR}/bin/${name} "#!/bin/sh\necho ${name}\nfor a in \"$@\"; do echo \"[$a]\"; done\n")
    file(CHMOD ${WORK_DIR}/bin/${name} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endfunction()

function(expect what code output)
    execute_process(COMMAND ${WORK_DIR}/xfreerdp /tmp/a\ b/tmp.rdp /p: /gateway:g:gw,p:x
        RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL code OR NOT "${out}${err}" MATCHES "${output}")
        message(FATAL_ERROR "${what}: exit ${result} (wanted ${code}), printed:\n${out}${err}\nwanted: ${output}")
    endif()
endfunction()

set(passed "\n\\[/tmp/a b/tmp\\.rdp\\]\n\\[/p:\\]\n\\[/gateway:g:gw,p:x\\]\n$")
expect("no client" 127 "^xfreerdp: no FreeRDP client in ${WORK_DIR}/bin")
install_client(xfreerdp)
expect("FreeRDP 2 only" 0 "^xfreerdp${passed}")
install_client(xfreerdp3)
expect("both" 0 "^xfreerdp3${passed}")
file(REMOVE ${WORK_DIR}/bin/xfreerdp)
expect("FreeRDP 3 only" 0 "^xfreerdp3${passed}")
# Not executable: as good as not there.
file(CHMOD ${WORK_DIR}/bin/xfreerdp3 PERMISSIONS OWNER_READ)
install_client(xfreerdp)
expect("FreeRDP 3 broken" 0 "^xfreerdp${passed}")
file(REMOVE ${WORK_DIR}/bin/xfreerdp ${WORK_DIR}/bin/xfreerdp3)
expect("both removed" 127 "no FreeRDP client")
message(STATUS "client wrapper checked")
