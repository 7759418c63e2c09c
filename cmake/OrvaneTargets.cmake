# Helpers every subsystem folder uses, so that each folder's CMakeLists.txt stays a list of files.

# orvane_library(NAME SOURCES... [LIBS libs...]): a static library of one subsystem.
function(orvane_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# orvane_test(NAME SOURCES... [LIBS libs...] [LABELS labels...]): one GoogleTest executable.
# Natively CTest sees each of its cases as a test named NAME.Suite.Case, listed from the
# executable when CTest runs (so a sanitizer build never runs it at build time), and `-j`
# balances the run case by case. A Windows executable stays one test: each start under Wine
# costs more than most cases, and the guest kernel runs the win32 list as it is.
include(GoogleTest)
function(orvane_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(environment "ORVANE_SOURCE_DIR=${PROJECT_SOURCE_DIR};ORVANE_BINARY_DIR=${PROJECT_BINARY_DIR}")
  set(labels)
  if(ARG_LABELS)
    set(labels LABELS "${ARG_LABELS}")
    if("threads" IN_LIST ARG_LABELS)
      set_property(GLOBAL APPEND PROPERTY ORVANE_THREADED_TESTS ${name})
    endif()
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 600 ${labels})
  else()
    # The source folder is wanted only to write golden files afresh, which sets it by hand.
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "ORVANE_BINARY_DIR=${PROJECT_BINARY_DIR}" TIMEOUT 600 ${labels})
  endif()
endfunction()

# Adds every direct subfolder of DIR that has a CMakeLists.txt, so a new subsystem joins the
# build by existing, and two people adding two subsystems never edit the same file.
function(orvane_add_subfolders dir)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${dir} ${dir}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${dir}/${child} AND EXISTS ${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# Tests labelled "threads" are also built and run under ThreadSanitizer; this target builds
# just them, so the TSan build compiles only what it runs.
function(orvane_threaded_tests_target)
  get_property(tests GLOBAL PROPERTY ORVANE_THREADED_TESTS)
  if(tests)
    add_custom_target(threaded_tests DEPENDS ${tests})
  endif()
endfunction()
