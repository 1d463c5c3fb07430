# hexora_include_folder(<name> <folders below src/>...)
# The public include folder of library <name>: a folder in the build tree
# holding, for each of its source folders, a link to that folder under the
# same relative path (build/include/<name>/services/internal ->
# src/services/internal). Headers keep their spelling from src/ (e.g.
# "engine/ThreadSafeArray.hpp"), but a library sees only its own headers and,
# through its dependencies, theirs: an include against the layering does not
# compile. Sets <name>_INCLUDE_DIR in the caller.
function(hexora_include_folder name)
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  set(linked "")
  foreach(folder IN LISTS ARGN)
    # A folder inside one already linked is visible through that link.
    set(covered FALSE)
    foreach(done IN LISTS linked)
      string(FIND "${folder}/" "${done}/" at)
      if(at EQUAL 0)
        set(covered TRUE)
      endif()
    endforeach()
    if(covered)
      continue()
    endif()
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
    list(APPEND linked ${folder})
  endforeach()
  set(${name}_INCLUDE_DIR ${root} PARENT_SCOPE)
endfunction()

# hexora_library(<name> FOLDERS <folders below src/>... [DEPS <targets>...])
# Every .cpp directly in the folders belongs to the library; its public
# include folder is made by hexora_include_folder.
function(hexora_library name)
  cmake_parse_arguments(ARG "" "" "FOLDERS;DEPS" ${ARGN})
  set(sources "")
  foreach(folder IN LISTS ARG_FOLDERS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  hexora_include_folder(${name} ${ARG_FOLDERS})
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${${name}_INCLUDE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${${name}_INCLUDE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# hexora_test(<name> <folder below tests/> [OWN_PID_NAMESPACE] [DEPS <targets>...] [PROPERTIES <ctest properties>...])
# One test executable per folder, registered with ctest test by test.
# OWN_PID_NAMESPACE: each test runs through hexora-test-namespace (tools/),
# in a PID namespace with its own /proc where the machine allows one, so that
# what it and the launcher see of the running processes is what it started.
function(hexora_test name folder)
  cmake_parse_arguments(ARG "OWN_PID_NAMESPACE" "" "DEPS;PROPERTIES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  if(HEXORA_TSAN)
    list(APPEND sources ${CMAKE_SOURCE_DIR}/tests/TsanSuppressions.cpp)
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE hexora_test_support ${ARG_DEPS} GTest::gmock GTest::gtest_main)
  # Tests never reach the compiled-in collector or write below the user's
  # home: telemetry goes to a closed local port unless a test sets its own.
  # The variables are set by running each test through env(1): a list given
  # to gtest_discover_tests' ENVIRONMENT property keeps only its first entry.
  set(test_home ${CMAKE_BINARY_DIR}/test-home)
  set(runner "env;HEXORA_RUM_URL=https://127.0.0.1:9/;XDG_CONFIG_HOME=${test_home}/config;XDG_DATA_HOME=${test_home}/data")
  if(ARG_OWN_PID_NAMESPACE)
    list(APPEND runner ${CMAKE_BINARY_DIR}/tools/hexora-test-namespace)
    set_property(GLOBAL APPEND PROPERTY HEXORA_OWN_PID_NAMESPACE_TESTS ${name})
  endif()
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${runner}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()
