# Helpers that keep the per-folder build rules in one place.

# Listing a test program's tests runs it once; under Wine a cold start takes seconds.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(TUNEWELL_DISCOVERY_TIMEOUT 120)
else()
  set(TUNEWELL_DISCOVERY_TIMEOUT 5)
endif()

# tw_<folder>: the folder's sources (the platform's backend folder included), tests excluded.
function(tunewell_add_folder folder)
  set(dir ${PROJECT_SOURCE_DIR}/src/${folder})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/${TUNEWELL_PLATFORM}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
  # What only the plug-in library holds: its export and, on Windows, its DllMain.
  list(FILTER sources EXCLUDE REGEX "/(export|thread_runtime)\\.cpp$")
  if(NOT sources)
    return()
  endif()
  add_library(tw_${folder} OBJECT ${sources})
  target_link_libraries(tw_${folder} PUBLIC tw_deps)
  set_property(GLOBAL APPEND PROPERTY TUNEWELL_BUILT_FOLDERS ${folder})
endfunction()

# unit_<folder>: the tests beside each folder's code, linked with the whole core (an archive,
# so only what a test uses is pulled in).
function(tunewell_add_unit_tests)
  foreach(folder IN LISTS TUNEWELL_FOLDERS)
    file(GLOB tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*_test.cpp
                                      ${PROJECT_SOURCE_DIR}/src/${folder}/${TUNEWELL_PLATFORM}/*_test.cpp)
    if(tests)
      add_executable(unit_${folder} ${tests} ${TUNEWELL_TEST_ENVIRONMENT})
      target_link_libraries(unit_${folder} PRIVATE tunewell_core tunewell_test_support
                                                   GTest::gtest_main GTest::gmock)
      target_compile_definitions(unit_${folder} PRIVATE
        TUNEWELL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
      gtest_discover_tests(unit_${folder} DISCOVERY_MODE PRE_TEST
                           DISCOVERY_TIMEOUT ${TUNEWELL_DISCOVERY_TIMEOUT} PROPERTIES LABELS unit)
    endif()
  endforeach()
endfunction()

# One executable per test file under tests/<label>/, labelled by its folder; files matching
# the optional EXCLUDE regular expression are left out, and tests that the optional
# TEST_FILTER (a --gtest_filter expression) leaves out are not listed.
function(tunewell_add_cross_tests label)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "EXCLUDE;TEST_FILTER" "")
  if(NOT arg_TEST_FILTER)
    set(arg_TEST_FILTER "*")
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${label}/*_test.cpp)
  if(arg_EXCLUDE)
    list(FILTER tests EXCLUDE REGEX "${arg_EXCLUDE}")
  endif()
  foreach(test IN LISTS tests)
    get_filename_component(name ${test} NAME_WE)
    add_executable(${name} ${test} ${TUNEWELL_TEST_ENVIRONMENT})
    target_link_libraries(${name} PRIVATE tunewell_core tunewell_test_support
                                          GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name} PRIVATE
      TUNEWELL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      TUNEWELL_BINARY_DIR="${PROJECT_BINARY_DIR}"
      TUNEWELL_PLUGIN_PATH="$<TARGET_FILE:tunewell_plugin>"
      TUNEWELL_HOST_PATH="$<TARGET_FILE:tunewell>"
      TUNEWELL_SITE_HOST_NAME="${TUNEWELL_SITE_HOST}")
    add_dependencies(${name} tunewell_plugin tunewell)
    # The host reads the user's config file: a tester's own settings must not change a test.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_FILTER "${arg_TEST_FILTER}"
                         DISCOVERY_TIMEOUT ${TUNEWELL_DISCOVERY_TIMEOUT} PROPERTIES LABELS ${label}
                         ENVIRONMENT "XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/no-user-config")
  endforeach()
endfunction()
