# The Lumarest plug-in SDK as a CMake package:
#
#   find_package(LumarestSDK REQUIRED)
#   add_library(MyModule SHARED my_module.cpp)
#   target_link_libraries(MyModule PRIVATE LumarestSDK::plugin)
#
# LumarestSDK::plugin is for the plug-in's DLL itself: it adds the folder of
# <lumarest/plugin.h>, exports "RegisterModule" undecorated and nothing else
# (through RegisterModule.def), and links libgcc, libstdc++ and winpthreads
# into the DLL, so that it needs no DLL of the compiler's beside it.
# LumarestSDK::headers is the header folder alone, for other targets (unit
# tests of a plug-in's logic, for example).
#
# Plug-ins are 32-bit Windows DLLs on the system's msvcrt.dll, the C runtime
# the host uses: answers on the bus are C-heap blocks that one side allocates
# and the other frees. A compiler that builds anything else is refused here,
# at configure time, rather than making a DLL the host cannot load or whose
# blocks would be freed on the wrong heap.
set(LumarestSDK_FOUND TRUE)
if(TARGET LumarestSDK::plugin)
  return()
endif()

get_filename_component(_lumarest_sdk_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT WIN32 OR NOT MINGW OR NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_lumarest_sdk_compiler "${CMAKE_CXX_COMPILER_ID}")
  if(NOT _lumarest_sdk_compiler)
    set(_lumarest_sdk_compiler "${CMAKE_C_COMPILER_ID}")
  endif()
  set(_lumarest_sdk_bits "?")
  if(CMAKE_SIZEOF_VOID_P)
    math(EXPR _lumarest_sdk_bits "${CMAKE_SIZEOF_VOID_P} * 8")
  endif()
  set(LumarestSDK_FOUND FALSE)
  string(CONCAT LumarestSDK_NOT_FOUND_MESSAGE
    "Lumarest plug-ins are 32-bit Windows DLLs built by mingw-w64 for i686 (i686-w64-mingw32-gcc/g++), "
    "but this project's compiler is ${_lumarest_sdk_compiler} "
    "for ${CMAKE_SYSTEM_NAME}, ${_lumarest_sdk_bits}-bit. Configure with a toolchain file that sets "
    "CMAKE_SYSTEM_NAME Windows and the i686-w64-mingw32 compilers (-DCMAKE_TOOLCHAIN_FILE=...).")
  return()
endif()

# mingw-w64 can be built to use the UCRT instead of msvcrt.dll; its headers
# say so with _UCRT.
get_property(_lumarest_sdk_languages GLOBAL PROPERTY ENABLED_LANGUAGES)
if(CXX IN_LIST _lumarest_sdk_languages)
  set(_lumarest_sdk_language CXX)
else()
  set(_lumarest_sdk_language C)
endif()
include(CheckSourceCompiles)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
string(CONCAT _lumarest_sdk_check
  "#include <stdlib.h>\n#if defined(_UCRT) || __MSVCRT_VERSION__ >= 0x1400\n#error UCRT\n#endif\n"
  "int lumarest_sdk_probe;\n")
check_source_compiles(${_lumarest_sdk_language} "${_lumarest_sdk_check}" LUMAREST_SDK_COMPILER_USES_MSVCRT)
unset(CMAKE_TRY_COMPILE_TARGET_TYPE)
if(NOT LUMAREST_SDK_COMPILER_USES_MSVCRT)
  set(LumarestSDK_FOUND FALSE)
  string(CONCAT LumarestSDK_NOT_FOUND_MESSAGE
    "This mingw-w64 compiler builds against the UCRT, but Lumarest plug-ins must use msvcrt.dll, as the host "
    "does, so that C-heap answers are freed on the heap that made them. Use a mingw-w64 whose default C "
    "runtime is msvcrt (Debian's gcc-mingw-w64-i686-posix is).")
  return()
endif()

add_library(LumarestSDK::headers INTERFACE IMPORTED)
set_target_properties(LumarestSDK::headers PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${_lumarest_sdk_root}/include")

add_library(LumarestSDK::plugin INTERFACE IMPORTED)
set_target_properties(LumarestSDK::plugin PROPERTIES
  INTERFACE_LINK_LIBRARIES LumarestSDK::headers
  INTERFACE_SOURCES "${CMAKE_CURRENT_LIST_DIR}/RegisterModule.def"
  # -static takes libgcc, libstdc++ and winpthreads in; the Windows DLLs,
  # msvcrt.dll among them, stay imported. Without stdcall fix-up a __stdcall
  # RegisterModule stays a link error rather than a silently bound export.
  INTERFACE_LINK_OPTIONS "-static;LINKER:--disable-stdcall-fixup")

unset(_lumarest_sdk_root)
unset(_lumarest_sdk_bits)
unset(_lumarest_sdk_languages)
unset(_lumarest_sdk_language)
unset(_lumarest_sdk_compiler)
unset(_lumarest_sdk_check)
