# The kiosk session's restart rule, against a stand-in launcher that records
# each start and ends as the row says. A stand-in "date" moves the clock on by
# STEP seconds at every start, so a minute passes without waiting for it.
# -DTEMPLATE=<packaging/velmoclient-kiosk-session.in> -DWORK_DIR=<scratch>

# name | how each start ends | seconds between starts | starts before it exits 0 by
# itself (0: never) | starts made | the session's exit status | the one line it
# prints (-: nothing)
set(rows
    "crash (SEGV)|SEGV|1|20|5|1|crashed 5 times within 60 s"
    "crash (ABRT)|ABRT|1|20|5|1|crashed 5 times within 60 s"
    "crash (KILL)|KILL|1|20|5|1|crashed 5 times within 60 s"
    "five crashes 11 s apart|SEGV|11|20|5|1|crashed 5 times within 60 s"
    "sixth start 60 s after the first|SEGV|12|8|9|0|-"
    "logout (TERM)|TERM|1|0|1|143|-"
    "hang-up (HUP)|HUP|1|0|1|129|-"
    "normal exit|exit 0|1|0|1|0|-"
    "failed start|exit 3|1|0|1|3|-"
    "the session ends|session|1|0|1|0|-")

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/bin ${WORK_DIR}/run ${WORK_DIR}/clock)
set(VELMO_BINDIR ${WORK_DIR}/bin)
set(VELMO_RUNDIR ${WORK_DIR}/run)
configure_file(${TEMPLATE} ${WORK_DIR}/session @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE ${WORK_DIR}/bin/VelmoClient [=[#!/bin/sh
echo "$PWD $*" >> "$STARTS"
if [ "$LAST" -gt 0 ] && [ "$(wc -l < "$STARTS")" -gt "$LAST" ]; then
    exit 0
fi
case "$END" in
exit*) exit ${END#exit } ;;
session) kill -TERM $PPID; exec sleep 30 ;;
*) kill -s "$END" $$ ;;
esac
]=])
file(WRITE ${WORK_DIR}/clock/date [=[#!/bin/sh
now=$(cat "$CLOCK" 2>/dev/null || echo 1000)
echo "$now"
echo $((now + STEP)) > "$CLOCK"
]=])
file(CHMOD ${WORK_DIR}/bin/VelmoClient ${WORK_DIR}/clock/date PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

set(failures)
foreach(row IN LISTS rows)
    string(REPLACE "|" ";" row "${row}")
    list(GET row 0 name)
    list(GET row 1 end)
    list(GET row 2 step)
    list(GET row 3 last)
    list(GET row 4 wanted_starts)
    list(GET row 5 wanted_status)
    list(GET row 6 wanted_error)
    file(REMOVE ${WORK_DIR}/starts ${WORK_DIR}/clock/now)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "END=${end}" STEP=${step} LAST=${last}
            STARTS=${WORK_DIR}/starts CLOCK=${WORK_DIR}/clock/now "PATH=${WORK_DIR}/clock:$ENV{PATH}"
            ${WORK_DIR}/session
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
    file(STRINGS ${WORK_DIR}/starts starts)
    list(LENGTH starts count)
    list(REMOVE_DUPLICATES starts)
    if(NOT count EQUAL wanted_starts OR NOT status STREQUAL wanted_status
            OR NOT starts STREQUAL "${WORK_DIR}/run --kiosk"
            OR (wanted_error STREQUAL "-" AND NOT err STREQUAL "")
            OR (NOT wanted_error STREQUAL "-" AND NOT err MATCHES "^[^\n]*${wanted_error}[^\n]*\n$"))
        list(APPEND failures "${name}: ${count} starts (wanted ${wanted_starts}), exit ${status} (wanted ${wanted_status}), started as '${starts}', printed '${out}${err}' (wanted '${wanted_error}')")
    endif()
endforeach()
if(failures)
    list(JOIN failures "\n" failures)
    message(FATAL_ERROR "kiosk session:\n${failures}")
endif()
message(STATUS "kiosk session's restart rule checked")
