# The SDK's template plug-in from an installation, as an author would build
# it: installs the host and the SDK into a prefix in the build folder, copies
# the installed template to a temporary folder outside the source tree,
# builds it there with find_package(LumarestSDK) alone, checks the DLL's one
# export and its C runtime, checks that a compiler for another platform is
# refused, installs the DLL into the installed host's plug-ins folder and runs
# the real run of sdk_template_e2e (TEST_PROGRAM) against that host.
#
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DTOOLCHAIN=... -DOBJDUMP=... -DNATIVE_CXX=...
#         -DEMULATOR=... -DTEST_PROGRAM=... -P sdk_template_run.cmake
cmake_minimum_required(VERSION 3.25)

set(prefix ${WORK_DIR}/prefix)
if(DEFINED ENV{TMPDIR})
  set(temp_root $ENV{TMPDIR})
else()
  set(temp_root /tmp)
endif()
string(RANDOM LENGTH 8 suffix)
set(outside ${temp_root}/lumarest-sdk-template-${suffix})

# run(description command...): the command must succeed.
function(run description)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    file(REMOVE_RECURSE ${outside})
    message(FATAL_ERROR "${description} failed (${result}):\n${out}")
  endif()
endfunction()

function(fail text)
  file(REMOVE_RECURSE ${outside})
  message(FATAL_ERROR "${text}")
endfunction()

file(REMOVE_RECURSE ${prefix})
run("installing the host and the SDK" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file Lumarest.exe Option.json sdk/include/lumarest/plugin.h
        sdk/lib/cmake/LumarestSDK/LumarestSDKConfig.cmake sdk/lib/cmake/LumarestSDK/LumarestSDKConfigVersion.cmake
        sdk/template/CMakeLists.txt sdk/doc/plugin-authors.md)
  if(NOT EXISTS ${prefix}/${file})
    fail("the installation lacks ${file}")
  endif()
endforeach()

file(COPY ${prefix}/sdk/template/ DESTINATION ${outside}/MyModule)
set(package -DLumarestSDK_DIR=${prefix}/sdk/lib/cmake/LumarestSDK)
run("configuring the template" ${CMAKE_COMMAND} -S ${outside}/MyModule -B ${outside}/build -G Ninja
    -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} ${package})
run("building the template" ${CMAKE_COMMAND} --build ${outside}/build)

# The host finds the entry point by exactly this name; anything else the DLL
# exported would be the plug-in's internals. Compiler DLLs would have to be
# shipped beside it, and another C runtime would free the host's blocks on
# the wrong heap.
execute_process(COMMAND ${OBJDUMP} -p ${outside}/build/MyModule.dll
  OUTPUT_VARIABLE headers RESULT_VARIABLE result)
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${headers}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" exports "${table}")
list(TRANSFORM exports REPLACE "^\\[ *[0-9]+\\] " "")
if(NOT exports STREQUAL "RegisterModule")
  list(LENGTH exports count)
  list(SUBLIST exports 0 8 first)
  fail("MyModule.dll exports ${count} names, not exactly RegisterModule; the first: ${first}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT "DLL Name: msvcrt.dll" IN_LIST imports)
  fail("MyModule.dll does not import msvcrt.dll: ${imports}")
endif()
string(REGEX MATCH "DLL Name: (libstdc|libgcc|libwinpthread|ucrtbase|api-ms-win-crt)[^;]*"
  compiler_dll "${imports}")
if(compiler_dll)
  fail("MyModule.dll needs ${compiler_dll}")
endif()

# A compiler for this machine instead of 32-bit Windows is refused at
# configure time, with a message that says what is needed.
if(NOT NATIVE_CXX)
  fail("no compiler for the build machine (g++) to check that the SDK refuses it: run scripts/setup.sh")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${outside}/MyModule -B ${outside}/build-native -G Ninja
    -DCMAKE_CXX_COMPILER=${NATIVE_CXX} ${package}
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(REGEX REPLACE "[ \n]+" " " out "${out}")  # CMake wraps the message
if(result EQUAL 0 OR NOT out MATCHES "32-bit Windows DLLs built by mingw-w64")
  fail("a native compiler was not refused clearly (${result}):\n${out}")
endif()

run("installing MyModule into the host"
  ${CMAKE_COMMAND} --install ${outside}/build --prefix ${prefix}/Plugins)
file(REMOVE_RECURSE ${outside})
set(installed ${prefix}/Plugins/MyModule/1.0.0)
if(NOT EXISTS ${installed}/MyModule.dll OR NOT EXISTS ${installed}/plugin.load)
  message(FATAL_ERROR "MyModule's install did not make Plugins/MyModule/1.0.0/ with the DLL and the manifest")
endif()

string(REPLACE "/" "\\" host "Z:${prefix}/Lumarest.exe")
execute_process(COMMAND ${CMAKE_COMMAND} -E env LUMAREST_EXE=${host}
    ${EMULATOR} ${TEST_PROGRAM} --gtest_color=no
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the real run of the installed host with MyModule failed (${result})")
endif()
