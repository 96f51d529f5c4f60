# Read by ctest as it starts, to list the cases of tests that run each case as an entry of its own.
include(${CMAKE_CURRENT_LIST_DIR}/testenvironment.cmake)

# Each case of the Qt test `program` as a ctest entry `prefix`/function or `prefix`/function:tag
# that runs that case alone, with folders of its own; every entry has `cost`. The cases are asked
# of the built program; when it cannot answer (not built, say), the whole program is one entry,
# which then fails as it would.
function(tolvane_test_cases prefix program root label cost)
  get_filename_component(name ${program} NAME)
  if(DEFINED ENV{QT_QPA_PLATFORM})
    set(platform "$ENV{QT_QPA_PLATFORM}")
  endif()
  set(ENV{QT_QPA_PLATFORM} offscreen)
  execute_process(COMMAND ${program} -datatags OUTPUT_VARIABLE listed RESULT_VARIABLE status ERROR_QUIET)
  if(DEFINED platform)
    set(ENV{QT_QPA_PLATFORM} "${platform}")
  else()
    unset(ENV{QT_QPA_PLATFORM})
  endif()

  set(cases "")
  if(status EQUAL 0)
    # A line a case: "Class function" or "Class function tag", the tag possibly with spaces.
    string(REPLACE "\n" ";" lines "${listed}")
    foreach(line IN LISTS lines)
      if(line MATCHES "^[^ ]+ ([^ ]+) (.+)$")
        list(APPEND cases "${CMAKE_MATCH_1}:${CMAKE_MATCH_2}")
      elseif(line MATCHES "^[^ ]+ ([^ ]+)$")
        list(APPEND cases "${CMAKE_MATCH_1}")
      endif()
    endforeach()
  endif()
  if(NOT cases)
    tolvane_test_environment(env ${root} ${name})
    add_test(${prefix} ${program})
    set_tests_properties(${prefix} PROPERTIES LABELS ${label} TIMEOUT 300 COST ${cost} ENVIRONMENT "${env}")
    return()
  endif()
  set(index 0)
  foreach(case IN LISTS cases)
    math(EXPR index "${index} + 1")
    tolvane_test_environment(env ${root} ${name}/${index})
    add_test("${prefix}/${case}" ${program} "${case}")
    set_tests_properties("${prefix}/${case}" PROPERTIES LABELS ${label} TIMEOUT 300 COST ${cost}
                         ENVIRONMENT "${env}")
  endforeach()
endfunction()
