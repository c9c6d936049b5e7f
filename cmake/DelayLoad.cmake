# Import libraries that load their DLL at the first call instead of at the program's start.
#
# Windows resolves a program's import table before any of its code runs, searching the program's
# own folder first for every DLL that is not a known DLL; a program in a Downloads folder cannot
# choose where its static imports come from. Under Wine even the known DLLs import others (its
# user32 imports version), so whatever the program imports at its start can pull a DLL from its
# folder. A delay-loaded DLL is loaded by the program itself, after it has restricted the search
# to the system folder.
#
# kx_delay_load_library(TARGET DLL) makes the imported library TARGET from the toolchain's own
# import library of DLL: every function of it, each loaded on its first call through the
# toolchain's delay-load helper.

function(kx_delay_load_library target dll)
  set(folder ${CMAKE_BINARY_DIR}/delay-load)
  set(def ${folder}/${dll}.def)
  set(library ${folder}/lib${dll}_delay.a)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${dll}.a
                  OUTPUT_VARIABLE import_library OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_library}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot read the import library ${import_library}")
  endif()
  # The 32-bit names carry a leading underscore and, for stdcall, "@bytes": the definition keeps
  # the decorated name for the linker and gives the DLL's own name as the one to import.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(prefix "__imp__")
  else()
    set(prefix "__imp_")
  endif()
  string(REGEX MATCHALL "${prefix}[^\n]+" imports "${symbols}")
  list(REMOVE_DUPLICATES imports)
  list(SORT imports)
  set(text "LIBRARY ${dll}.dll\nEXPORTS\n")
  foreach(import ${imports})
    string(REPLACE "${prefix}" "" name "${import}")
    string(REGEX REPLACE "@[0-9]+$" "" undecorated "${name}")
    if(undecorated STREQUAL name)
      string(APPEND text "${name}\n")
    else()
      string(APPEND text "${name} == ${undecorated}\n")
    endif()
  endforeach()
  file(WRITE ${def}.new "${text}")
  file(COPY_FILE ${def}.new ${def} ONLY_IF_DIFFERENT)
  add_custom_command(OUTPUT ${library}
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --output-delaylib ${library} --dllname ${dll}.dll
    DEPENDS ${def}
    VERBATIM)
  add_custom_target(${target}_stubs DEPENDS ${library})
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${library})
  add_dependencies(${target} ${target}_stubs)
endfunction()
