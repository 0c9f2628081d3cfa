# Checks that the program starts without the web engine: no library it
# loads, directly or through another, is part of Qt WebEngine, while the
# portal module does load it (so the check can see it at all).
# -DPROGRAM=<executable> -DMODULE=<portal module> -DQT_MAJOR=<5 or 6>

function(loaded_libraries file out)
    execute_process(COMMAND ldd ${file} RESULT_VARIABLE result OUTPUT_VARIABLE text ERROR_VARIABLE text)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "ldd ${file} failed:\n${text}")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

loaded_libraries(${MODULE} module_libraries)
string(TOLOWER "${module_libraries}" module_libraries)
if(NOT module_libraries MATCHES "webengine")
    message(FATAL_ERROR "the portal module does not load the web engine:\n${module_libraries}")
endif()

loaded_libraries(${PROGRAM} program_libraries)
string(TOLOWER "${program_libraries}" program_libraries)
if(program_libraries MATCHES "[^\n]*webengine[^\n]*")
    message(FATAL_ERROR "the program loads the web engine: ${CMAKE_MATCH_0}")
endif()
if(NOT program_libraries MATCHES "libqt${QT_MAJOR}widgets")
    message(FATAL_ERROR "no Qt Widgets in the program's libraries:\n${program_libraries}")
endif()
message(STATUS "${PROGRAM} starts without the web engine")
