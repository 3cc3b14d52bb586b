# Windows builds (win32 is the product, win64 only runs under wine64 here):
# setup.exe with its resources and payload, and the two product programs.
include(ExternalProject)

# Small, self-contained executables: static run-time, no exceptions or RTTI,
# msvcrt's own formatting (mingw's C99 printf would add 10 KB), repeatable.
# No -fdata-sections: with it mingw stores zero-filled tables in .data.
set(WINDOWS_COMPILE_OPTIONS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -Wall -Wextra)
set(WINDOWS_LINK_OPTIONS -mwindows -static -static-libgcc -static-libstdc++ -s
    -Wl,--gc-sections -Wl,--no-insert-timestamp)

# InitCommonControls is imported by its ordinal, 17, through an import library
# of our own; the mingw one imports it by name.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(INIT_COMMON_CONTROLS_SYMBOL "InitCommonControls@0")
  set(DLLTOOL_FLAGS -k)
else()
  set(INIT_COMMON_CONTROLS_SYMBOL "InitCommonControls")
  set(DLLTOOL_FLAGS)
endif()
set(COMCTL32_DEF ${CMAKE_BINARY_DIR}/comctl32_ordinal.def)
set(COMCTL32_LIB ${CMAKE_BINARY_DIR}/libcomctl32_ordinal.a)
file(WRITE ${COMCTL32_DEF}
  "LIBRARY comctl32.dll\nEXPORTS\n${INIT_COMMON_CONTROLS_SYMBOL} @17 NONAME\n")
add_custom_command(OUTPUT ${COMCTL32_LIB}
  COMMAND ${MINGW_PREFIX}-dlltool ${DLLTOOL_FLAGS} -d ${COMCTL32_DEF} -l ${COMCTL32_LIB}
  DEPENDS ${COMCTL32_DEF} VERBATIM)
add_custom_target(comctl32_ordinal DEPENDS ${COMCTL32_LIB})

# The packer runs on the build machine: build the host tools natively.
set(HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/hosttools)
set(LZARI_TOOL ${HOST_TOOLS_DIR}/lzari)
ExternalProject_Add(hosttools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
  BINARY_DIR ${HOST_TOOLS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE= -DCMAKE_CXX_COMPILER=c++
             -DCMAKE_C_COMPILER=cc
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${LZARI_TOOL})

# The carried product: Gridmark.EXE and Pagewise.EXE are built here.
add_subdirectory(product)

# Each carried file with its fixed release time (UTC), packed into a
# version-1 container that the resource script binds under the upper-case name.
set(PAYLOAD_FILES
  "Gridmark.EXE|$<TARGET_FILE:Gridmark>|2026-11-30T10:37:00Z"
  "Gridmark.HLP|${CMAKE_SOURCE_DIR}/product/Gridmark.HLP|2026-11-30T10:31:12Z"
  "Pagewise.EXE|$<TARGET_FILE:Pagewise>|2026-11-30T10:37:04.5Z"
  "Sample1.gmd|${CMAKE_SOURCE_DIR}/product/Sample1.gmd|2026-11-28T16:02:40Z"
  "Sample2.gmd|${CMAKE_SOURCE_DIR}/product/Sample2.gmd|2026-11-28T16:05:18Z"
  "Sample3.gmd|${CMAKE_SOURCE_DIR}/product/Sample3.gmd|2026-11-28T16:09:51Z"
  "Sample4.gmd|${CMAKE_SOURCE_DIR}/product/Sample4.gmd|2026-11-29T08:14:03Z"
  "Sample5.gmd|${CMAKE_SOURCE_DIR}/product/Sample5.gmd|2026-11-29T08:20:36Z"
  "Sample6.gmd|${CMAKE_SOURCE_DIR}/product/Sample6.gmd|2026-11-29T08:26:59.25Z"
)
set(PAYLOAD_DIR ${CMAKE_BINARY_DIR}/payload)
set(PAYLOAD_CONTAINERS)
set(PAYLOAD_MANIFEST "")
foreach(row IN LISTS PAYLOAD_FILES)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 name)
  list(GET row 1 input)
  list(GET row 2 time)
  set(container ${PAYLOAD_DIR}/${name}.lzr)
  add_custom_command(OUTPUT ${container}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PAYLOAD_DIR}
    COMMAND ${LZARI_TOOL} pack --time ${time} ${input} ${container}
    DEPENDS hosttools ${input}
    COMMENT "Packing ${name}" VERBATIM)
  list(APPEND PAYLOAD_CONTAINERS ${container})
  string(APPEND PAYLOAD_MANIFEST "${name}\t${input}\t${time}\n")
endforeach()
# For the tests: which file and time each container carries.
file(GENERATE OUTPUT ${PAYLOAD_DIR}/manifest.tsv CONTENT "${PAYLOAD_MANIFEST}")
add_custom_target(payload DEPENDS ${PAYLOAD_CONTAINERS})

set(RESOURCE_FILES ${CMAKE_SOURCE_DIR}/res/logo.bmp ${CMAKE_SOURCE_DIR}/res/setup.ico
    ${CMAKE_SOURCE_DIR}/res/resource.h)
set_source_files_properties(res/setup.rc PROPERTIES
  OBJECT_DEPENDS "${PAYLOAD_CONTAINERS};${RESOURCE_FILES}")

add_executable(setup WIN32 ${SETUP_SOURCES} res/setup.rc)
add_dependencies(setup payload comctl32_ordinal)
target_include_directories(setup PRIVATE src res ${PAYLOAD_DIR})
target_compile_options(setup PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${WINDOWS_COMPILE_OPTIONS}>)
target_link_options(setup PRIVATE ${WINDOWS_LINK_OPTIONS})
target_link_libraries(setup PRIVATE ${COMCTL32_LIB} shell32 ole32 uuid gdi32 user32 kernel32)
set_target_properties(setup PROPERTIES SUFFIX ".exe" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The end-to-end driver runs beside the setup under wine64; it never ships.
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  add_subdirectory(tests/e2e)
endif()
