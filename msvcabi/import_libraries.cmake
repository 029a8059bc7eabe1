# Run by msvcabi/CMakeLists.txt (cmake -P): import libraries for the run-time and Win32 DLLs,
# made with llvm-dlltool from the export tables of Wine's own PE DLLs. A 32-bit stdcall
# function is imported as "Name" but linked as "_Name@N", a size no export table holds: it
# is taken from the headers the code is compiled with, by compiling a probe that takes the
# address of every exported name they declare (and of _CxxThrowException, the one stdcall
# function of the VC run-time, which only the compiler calls).
#   -DLLVM_BIN= -DMACHINE=i386|i386:x86-64 -DDLL_DIR= -DOUT_DIR= -DCRT_DLLS= -DWIN32_DLLS=
#   -DPROBE_COMMAND= (the compiler and its flags, i386 only)
cmake_minimum_required(VERSION 3.25)
file(MAKE_DIRECTORY ${OUT_DIR})

function(read_exports dll out)
  execute_process(COMMAND ${LLVM_BIN}/llvm-readobj --coff-exports ${DLL_DIR}/${dll}.dll
                  OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "\n  Name: [^\n]+" lines "${dump}")
  list(TRANSFORM lines REPLACE "\n  Name: " "")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# size_of_<name>: "@N" of every export the headers declare as a stdcall function.
if(MACHINE STREQUAL "i386")
  string(CONCAT probe "#include <platform/win32.h>\n"
         "extern \"C\" __declspec(dllimport) void __stdcall _CxxThrowException(void*, void*);\n"
         "void halcyon_probe(const void*);\nvoid halcyon_probe_all() {\n"
         "halcyon_probe((const void*)&_CxxThrowException);\n")
  foreach(dll ${WIN32_DLLS})
    read_exports(${dll} names)
    list(FILTER names INCLUDE REGEX "^[A-Za-z_][A-Za-z0-9_]*$")
    foreach(name ${names})
      string(APPEND probe "#undef ${name}\n__if_exists(::${name}) { halcyon_probe((const void*)&::${name}); }\n")
    endforeach()
  endforeach()
  string(APPEND probe "}\n")
  file(WRITE ${OUT_DIR}/decoration_probe.cpp "${probe}")
  separate_arguments(command UNIX_COMMAND "${PROBE_COMMAND}")
  execute_process(COMMAND ${command} -w /Fo${OUT_DIR}/decoration_probe.obj -c -- ${OUT_DIR}/decoration_probe.cpp
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${LLVM_BIN}/llvm-nm --undefined-only ${OUT_DIR}/decoration_probe.obj
                  OUTPUT_VARIABLE undefined COMMAND_ERROR_IS_FATAL ANY)
  # "__imp__Name@N" where the headers declare the function dllimport, "_Name@N" where not.
  string(REGEX MATCHALL "[ \n]_[A-Za-z0-9_]+@[0-9]+" decorated "${undefined}")
  foreach(symbol ${decorated})
    string(REGEX MATCH "^.(__imp_)?_(.+)(@[0-9]+)$" unused "${symbol}")
    set(size_of_${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
  endforeach()
endif()

foreach(dll ${CRT_DLLS} ${WIN32_DLLS})
  read_exports(${dll} names)
  set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
  foreach(name ${names})
    if(DEFINED size_of_${name})
      string(APPEND def "${name}${size_of_${name}}\n")
    else()
      string(APPEND def "${name}\n")
    endif()
  endforeach()
  file(WRITE ${OUT_DIR}/${dll}.def "${def}")
  execute_process(COMMAND ${LLVM_BIN}/llvm-dlltool -m ${MACHINE} -k -d ${OUT_DIR}/${dll}.def
                          -l ${OUT_DIR}/${dll}.lib COMMAND_ERROR_IS_FATAL ANY)
endforeach()
