# Import libraries whose functions bind on their first call (mingw-w64's delay-load helper):
# the DLL, and what Wine's side of it loads (printing: CUPS and its libraries; hashing:
# GnuTLS), stays out of the console's memory until a bill is printed or sealed.
# tlx_delay_import(winspool WINSPOOL.DRV) makes the target tlx_delay_winspool.
function(tlx_delay_import name dll)
  find_library(_import_${name} ${name} REQUIRED)
  find_program(_nm ${TOOLCHAIN_PREFIX}-nm REQUIRED)
  set(def ${CMAKE_BINARY_DIR}/delay/${name}.def)
  set(lib ${CMAKE_BINARY_DIR}/delay/lib${name}_delay.a)
  # Every function the system's import library names, so any call added later binds too.
  execute_process(COMMAND ${_nm} -g --defined-only ${_import_${name}} OUTPUT_VARIABLE symbols
                  ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL " I __imp_[A-Za-z0-9_]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE " I __imp_" "")
  list(REMOVE_DUPLICATES imports)
  list(JOIN imports "\n" exports)
  file(WRITE ${def} "EXPORTS\n${exports}\n")
  execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname ${dll}
                          --output-delaylib ${lib} COMMAND_ERROR_IS_FATAL ANY)
  add_library(tlx_delay_${name} INTERFACE)
  target_link_libraries(tlx_delay_${name} INTERFACE ${lib})
endfunction()
