# What the Windows build links instead of ICU, libcurl and the installed GoogleTest: the system's
# own libraries, Boost's headers from the build machine, GoogleTest built from its sources.

# Boost is header-only here. The cross compiler sees a folder holding only a link to Boost's
# headers: given /usr/include itself it would pick up the build machine's C headers.
set(tw_boost_dir ${PROJECT_BINARY_DIR}/boost-headers)
file(MAKE_DIRECTORY ${tw_boost_dir})
file(CREATE_LINK /usr/include/boost ${tw_boost_dir}/boost SYMBOLIC)

add_library(tw_platform_libs INTERFACE)
target_include_directories(tw_platform_libs SYSTEM INTERFACE ${tw_boost_dir})
# Unicode builds of the W functions; nothing of <windows.h> beyond what the backend needs.
target_compile_definitions(tw_platform_libs INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN
                                                      NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(tw_platform_libs INTERFACE winhttp wininet)

if(TUNEWELL_TESTS)
  # Debian's googletest package ships the sources; build them for the target (they name
  # their targets GTest::gtest, GTest::gtest_main, GTest::gmock as the installed package does).
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# Every test program runs with UTF-8 as its ANSI code page, as on POSIX.
set(TUNEWELL_TEST_ENVIRONMENT ${PROJECT_SOURCE_DIR}/tests/support/ansi_code_page_environment.cpp)

# Tests run under Wine, in a private prefix inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run
                                  ${PROJECT_BINARY_DIR}/wine-prefix)
