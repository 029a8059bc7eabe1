# The SDK a host project installs (cmake --install) and its zip (cpack), the same for every
# Windows toolchain: include/sessionctrl/, bin/ (the DLLs, and their PDBs where the linker
# writes them), lib/ (the import library) and lib/cmake/HalcyonSessionCtrl/, whose
# find_package(HalcyonSessionCtrl CONFIG) gives HalcyonSessionCtrl::HalcyonSessionCtrl.
include(CMakePackageConfigHelpers)

# The C++ ABI a host must share, with the architecture as that toolchain names it.
if(MSVC)
  set(abi_test MSVC)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(HALCYON_ABI msvc-x64)
  else()
    set(HALCYON_ABI msvc-x86)
  endif()
else()
  set(abi_test MINGW)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(HALCYON_ABI mingw-x86_64)
  else()
    set(HALCYON_ABI mingw-i686)
  endif()
endif()

set(package_dir lib/cmake/HalcyonSessionCtrl)
# tessark comes along as the DLL's dependency, so that $<TARGET_RUNTIME_DLLS> of a host names it.
install(TARGETS HalcyonSessionCtrl tessark EXPORT HalcyonSessionCtrl
        RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
if(MSVC)
  install(FILES $<TARGET_PDB_FILE:HalcyonSessionCtrl> $<TARGET_PDB_FILE:tessark> DESTINATION bin OPTIONAL)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sessionctrl/include/sessionctrl DESTINATION include)
install(EXPORT HalcyonSessionCtrl NAMESPACE HalcyonSessionCtrl:: DESTINATION ${package_dir}
        FILE HalcyonSessionCtrlConfig.cmake)

# find_package takes a package only for a host of its pointer size and C++ ABI: the exports
# are class members over std::wstring, which only a host of the same ABI can link.
set(version_file ${CMAKE_CURRENT_BINARY_DIR}/HalcyonSessionCtrlConfigVersion.cmake)
write_basic_package_version_file(${version_file} COMPATIBILITY SameMajorVersion)
file(APPEND ${version_file} "
if(NOT ${abi_test})
  set(PACKAGE_VERSION \"\${PACKAGE_VERSION} (${HALCYON_ABI})\")
  set(PACKAGE_VERSION_UNSUITABLE TRUE)
endif()
")
install(FILES ${version_file} DESTINATION ${package_dir})

set(HALCYON_PACKAGE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${HALCYON_ABI})
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${HALCYON_PACKAGE_NAME})
include(CPack)
