# Delay-loaded system libraries: a module linked against one of these loads
# the DLL at its first call into it, not when the module itself is loaded.
# mingw-w64 ships import libraries, not their definition files, so the
# definition is read back from the import library's symbols; dlltool then
# writes a delay-import library for it, whose calls go through the C
# runtime's delay-load helper (__delayLoadHelper2, in libmingwex).
function(lumarest_delay_load_library target dll import_name)
  find_library(import_lib_${import_name} NAMES lib${import_name}.a REQUIRED)
  set(dir ${CMAKE_BINARY_DIR}/delay-load)
  set(def ${dir}/${import_name}.def)
  set(lib ${dir}/lib${import_name}-delayed.a)
  file(MAKE_DIRECTORY ${dir})
  execute_process(COMMAND ${CMAKE_NM} -g ${import_lib_${import_name}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  # "__imp__WinHttpOpen@20" names the stdcall import WinHttpOpen@20.
  string(REGEX MATCHALL "__imp__[A-Za-z0-9_]+@[0-9]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE "^__imp__" "")
  list(REMOVE_DUPLICATES imports)
  list(JOIN imports "\n" exports)
  file(WRITE ${def} "LIBRARY ${dll}\nEXPORTS\n${exports}\n")
  # -k: the DLL exports the names without their "@n".
  execute_process(COMMAND ${CMAKE_DLLTOOL} -k --input-def ${def} --dllname ${dll} --output-delaylib ${lib}
                  COMMAND_ERROR_IS_FATAL ANY)
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${lib})
endfunction()
