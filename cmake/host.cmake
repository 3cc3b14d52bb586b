# Host build: the program's sources against our Win32 stand-in, unit tests
# (GoogleTest under CTest), host tools and benchmarks.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

# Tests run with the sanitizers, so an overrun fails the test that caused it.
set(HOST_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/CMakeLists.txt)
  add_subdirectory(tools)
endif()

# The real resource script compiled for the stand-in, without the payload:
# tests bring their own containers.
find_program(WINDRES NAMES i686-w64-mingw32-windres REQUIRED)
set(HOST_RES ${CMAKE_BINARY_DIR}/setup.res)
add_custom_command(OUTPUT ${HOST_RES}
  COMMAND ${WINDRES} -DSETUP_NO_PAYLOAD -I ${CMAKE_SOURCE_DIR}/res -O res
          ${CMAKE_SOURCE_DIR}/res/setup.rc -o ${HOST_RES}
  DEPENDS res/setup.rc res/resource.h res/logo.bmp res/setup.ico VERBATIM)
add_custom_target(setup_res DEPENDS ${HOST_RES})

add_library(setup_host STATIC ${SETUP_SOURCES}
  tests/host/win32_api.cpp tests/support/dialog_template.cpp)
target_include_directories(setup_host PUBLIC src res tests/host tests/support)
target_compile_options(setup_host PUBLIC ${HOST_SANITIZE} PRIVATE -Wall -Wextra)
target_link_options(setup_host PUBLIC ${HOST_SANITIZE})
add_dependencies(setup_host setup_res)
target_compile_definitions(setup_host PUBLIC SETUP_RES_PATH="${HOST_RES}")

add_subdirectory(tests)
