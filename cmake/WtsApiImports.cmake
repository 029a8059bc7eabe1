# halcyon_wtsapi32_ex(<target>): links <target> (INTERFACE) to an import library for the
# wtsapi32 functions that i686 MinGW-w64 lacks, made from wtsapi32_ex.def with dlltool.
# The x86_64 libwtsapi32.a and the Windows SDK's wtsapi32.lib have them already, so
# there it does nothing.
function(halcyon_wtsapi32_ex target)
  if(NOT MINGW OR NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    return()
  endif()
  find_program(HALCYON_DLLTOOL ${HALCYON_MINGW_PREFIX}-dlltool REQUIRED)
  set(def ${PROJECT_SOURCE_DIR}/cmake/wtsapi32_ex.def)
  set(implib ${CMAKE_BINARY_DIR}/lib/libwtsapi32_ex.a)
  add_custom_command(OUTPUT ${implib}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/lib
                     COMMAND ${HALCYON_DLLTOOL} -k -d ${def} -l ${implib}
                     DEPENDS ${def}
                     COMMENT "Import library for wtsapi32's extended process enumeration"
                     VERBATIM)
  add_custom_target(wtsapi32_ex_implib DEPENDS ${implib})
  add_library(wtsapi32_ex STATIC IMPORTED GLOBAL)
  set_target_properties(wtsapi32_ex PROPERTIES IMPORTED_LOCATION ${implib})
  add_dependencies(wtsapi32_ex wtsapi32_ex_implib)
  target_link_libraries(${target} INTERFACE wtsapi32_ex)
endfunction()
