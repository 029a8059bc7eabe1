# High warning level for every target of ours; -Werror where the preset asks for it.
function(halcyon_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
                         -Woverloaded-virtual)
  if(HALCYON_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
