# What Windows' exploit mitigations need from each toolchain, for every Windows target of ours.
# tests/artifacts/hardening.sh reads the result back from the DLLs.
if(MINGW)
  # Canaries on the stack of functions with arrays or addresses taken, and the checked forms
  # of the C string and memory functions where the size is known. Their helpers come from
  # libssp, which the driver links when the flag reaches the link too.
  add_compile_options(-fstack-protector-strong)
  add_link_options(-fstack-protector-strong)
  add_compile_definitions(_FORTIFY_SOURCE=2)
  # ASLR (with 64-bit entropy where there is room) and DEP.
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(-Wl,--high-entropy-va)
  endif()
endif()
