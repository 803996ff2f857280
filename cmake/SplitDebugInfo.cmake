# Shipped binaries go out stripped; their debug information stays in the
# build, in symbols/<file>.debug, for crash analysis. Each stripped binary
# carries a debug link (the file's name and checksum) to its .debug file, so
# a debugger given the symbols folder pairs them, and a user's dump, which
# names the binaries it saw, is read against the .debug files of the same
# build.
set(LUMAREST_SYMBOLS_DIR ${CMAKE_BINARY_DIR}/symbols)
file(MAKE_DIRECTORY ${LUMAREST_SYMBOLS_DIR})

function(lumarest_split_debug_info target)
  set(debug_file ${LUMAREST_SYMBOLS_DIR}/$<TARGET_FILE_NAME:${target}>.debug)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug_file}
    COMMAND ${CMAKE_OBJCOPY} --strip-debug --add-gnu-debuglink=${debug_file} $<TARGET_FILE:${target}>
    COMMENT "Keeping the debug information of $<TARGET_FILE_NAME:${target}> in symbols/ and stripping it"
    VERBATIM)
endfunction()
