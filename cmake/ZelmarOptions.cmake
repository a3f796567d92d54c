# Compiler settings shared by every target of the project.

add_library(zelmar_options INTERFACE)
target_compile_options(zelmar_options INTERFACE -Wall -Wextra)
# GCC 12 reports out-of-bounds copies inside libstdc++'s vector and string
# inserts that cannot happen (GCC bugs 105329, 107852). Real out-of-bounds
# accesses are caught by the AddressSanitizer build instead.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(zelmar_options INTERFACE
    -Wno-array-bounds -Wno-stringop-overread -Wno-stringop-overflow)
endif()
if(ZELMAR_WERROR)
  target_compile_options(zelmar_options INTERFACE -Werror)
endif()

if(ZELMAR_SANITIZE)
  target_compile_options(zelmar_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(zelmar_options INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
  # Unicode Win32 APIs everywhere, and no min/max macros from <windows.h>.
  target_compile_definitions(zelmar_options INTERFACE
    UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)
  # A static runtime, so the executables need no MinGW DLLs beside them.
  target_link_options(zelmar_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

# zelmar_module(NAME folder SOURCES ... [LINUX ...] [WINDOWS ...] DEPS ...)
# One static library per subsystem folder; platform backends are listed apart
# so the choice between them is made here and nowhere else.
function(zelmar_module name)
  cmake_parse_arguments(M "" "" "SOURCES;LINUX;WINDOWS;DEPS;LINUX_DEPS;WINDOWS_DEPS" ${ARGN})
  set(sources ${M_SOURCES})
  set(deps ${M_DEPS})
  if(WIN32)
    list(APPEND sources ${M_WINDOWS})
    list(APPEND deps ${M_WINDOWS_DEPS})
  else()
    list(APPEND sources ${M_LINUX})
    list(APPEND deps ${M_LINUX_DEPS})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC zelmar_options ${deps})
endfunction()

# The version the executables carry: the project's, unless a package of
# another version is built (scripts/package.sh windows --version X.Y.Z).
set(ZELMAR_PRODUCT_VERSION "" CACHE STRING "Version for the version resources (X.Y.Z); empty for the project version")

# zelmar_version_resource(target description [version])
# Gives a Windows executable a version resource made from the product
# version (or the one given), which the program reads back at start-up as
# its own version.
function(zelmar_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  set(ZELMAR_VERSION_TEXT ${PROJECT_VERSION})
  if(ZELMAR_PRODUCT_VERSION)
    set(ZELMAR_VERSION_TEXT ${ZELMAR_PRODUCT_VERSION})
  endif()
  if(ARGC GREATER 2)
    set(ZELMAR_VERSION_TEXT ${ARGV2})
  endif()
  if(NOT ZELMAR_VERSION_TEXT MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "ZELMAR_PRODUCT_VERSION must be X.Y.Z, not ${ZELMAR_VERSION_TEXT}")
  endif()
  set(ZELMAR_VERSION_MAJOR ${CMAKE_MATCH_1})
  set(ZELMAR_VERSION_MINOR ${CMAKE_MATCH_2})
  set(ZELMAR_VERSION_PATCH ${CMAKE_MATCH_3})
  set(ZELMAR_RC_NAME ${target})
  set(ZELMAR_RC_DESCRIPTION ${description})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
