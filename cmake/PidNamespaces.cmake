# HEXORA_PID_NAMESPACES: whether a test can be given a PID namespace of its
# own on this machine (as root, or in an unprivileged user namespace), found
# by trying it once at configure time, as hexora-test-namespace tries it for
# each test. Where it can, tests that each bring their own folders and
# processes need not take turns with the others that watch the process table.
find_program(HEXORA_UNSHARE unshare)
set(HEXORA_PID_NAMESPACES OFF)
if(HEXORA_UNSHARE)
  foreach(attempt IN ITEMS "--pid;--fork;--mount-proc" "--user;--map-root-user;--pid;--fork;--mount-proc")
    execute_process(COMMAND ${HEXORA_UNSHARE} ${attempt} true
      RESULT_VARIABLE refused OUTPUT_QUIET ERROR_QUIET TIMEOUT 10)
    if(refused EQUAL 0)
      set(HEXORA_PID_NAMESPACES ON)
      break()
    endif()
  endforeach()
endif()
message(STATUS "A PID namespace per test: ${HEXORA_PID_NAMESPACES}")
