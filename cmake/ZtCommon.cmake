# Shared build settings for our own targets.

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# Third-party libraries used across folders, as global imported targets.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET GLOBAL sdl2)
pkg_check_modules(IMGUI REQUIRED IMPORTED_TARGET GLOBAL imgui)
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET GLOBAL libturbojpeg)
find_package(nlohmann_json 3.11 REQUIRED)
find_library(ZT_LIBYUV yuv REQUIRED)

if(ZT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(ZT_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZT_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Warnings as errors on our code only (not on third-party sources compiled in).
function(zt_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A static library for one source folder: every .cpp in the folder (not
# recursive), public include path at the repository root.
function(zt_folder_library target)
  cmake_parse_arguments(ZT "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${target} STATIC ${ZT_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ZT_LIBS})
  zt_warnings(${target})
endfunction()

# A GoogleTest executable registered with ctest.
function(zt_test name)
  cmake_parse_arguments(ZT "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ZT_SOURCES})
  target_link_libraries(${name} PRIVATE ${ZT_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  zt_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "ZT_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# A libFuzzer target (only with ZT_FUZZ).
function(zt_fuzzer name)
  cmake_parse_arguments(ZT "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ZT_SOURCES})
  target_link_libraries(${name} PRIVATE ${ZT_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  zt_warnings(${name})
endfunction()

# Adds every direct subfolder of the current folder that has a CMakeLists.txt
# (tests/, bench/ and tests/fuzz/ mirror the source folders this way, so a new
# area needs no edit of a shared list).
function(zt_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    # tests/fuzz is added by the top level, only in fuzz builds (clang).
    if(child STREQUAL "fuzz" AND CMAKE_CURRENT_SOURCE_DIR STREQUAL "${PROJECT_SOURCE_DIR}/tests")
      continue()
    endif()
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# The path tests use to start `target`, a program that opens an X display.
# In sanitizer builds that is a small wrapper: Mesa unloads its GL driver when
# the display closes, before the leak check at exit, so whatever the driver
# still held would be reported as leaks of an unknown module that no
# suppression can name. The wrapper preloads the driver so it stays mapped,
# and names the suppression file for leaks inside system libraries.
function(zt_x_program out target)
  if(NOT ZT_SANITIZE)
    set(${out} $<TARGET_FILE:${target}> PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  find_file(ZT_GL_DRIVER swrast_dri.so PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri NO_DEFAULT_PATH)
  set(preload ${asan_runtime})
  if(ZT_GL_DRIVER)
    string(APPEND preload ":${ZT_GL_DRIVER}")
  endif()
  set(wrapper ${CMAKE_BINARY_DIR}/x-programs/${target})
  set(${out} ${wrapper} PARENT_SCOPE)
  get_property(done GLOBAL PROPERTY ZT_X_PROGRAM_${target})
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY ZT_X_PROGRAM_${target} TRUE)
  # (FILE_PERMISSIONS must follow CONTENT: CMake 3.25 aborts otherwise.)
  file(GENERATE OUTPUT ${wrapper}
       CONTENT "#!/bin/sh
export LSAN_OPTIONS=\"suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp\${LSAN_OPTIONS:+:\$LSAN_OPTIONS}\"
LD_PRELOAD=\"${preload}\${LD_PRELOAD:+:\$LD_PRELOAD}\" exec $<TARGET_FILE:${target}> \"$@\"
" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
endfunction()
