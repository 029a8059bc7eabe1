# Helpers for the Wine test groups: a fresh Wine prefix per ctest run (fixture "wine_prefix"),
# host exes linked to the real DLL, and tests that drive them through bash scripts.

find_program(HALCYON_WINE wine REQUIRED)
find_program(HALCYON_WINEBOOT wineboot REQUIRED)
find_program(HALCYON_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine REQUIRED)
find_program(HALCYON_BASH bash REQUIRED)

set(HALCYON_WINE_COMMON_DIR ${CMAKE_CURRENT_LIST_DIR})
# Where the setup fixture records the prefix it made; the tests and the cleanup read it.
set(HALCYON_WINE_STATE ${CMAKE_BINARY_DIR}/wine-prefix.path)

function(halcyon_wine_environment out_var)
  set(${out_var}
      "HALCYON_WINE_LIB=${HALCYON_WINE_COMMON_DIR}/wine_lib.sh"
      "HALCYON_WINE_STATE=${HALCYON_WINE_STATE}"
      "HALCYON_BIN_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
      "WINE=${HALCYON_WINE}"
      "WINEBOOT=${HALCYON_WINEBOOT}"
      "WINESERVER=${HALCYON_WINESERVER}"
      PARENT_SCOPE)
endfunction()

function(halcyon_wine_prefix_fixture)
  halcyon_wine_environment(env)
  add_test(NAME wine.prefix.setup
           COMMAND ${HALCYON_BASH} ${HALCYON_WINE_COMMON_DIR}/prefix_setup.sh)
  add_test(NAME wine.prefix.cleanup
           COMMAND ${HALCYON_BASH} ${HALCYON_WINE_COMMON_DIR}/prefix_cleanup.sh)
  set_tests_properties(wine.prefix.setup PROPERTIES
                       FIXTURES_SETUP wine_prefix ENVIRONMENT "${env}" TIMEOUT 300
                       RESOURCE_LOCK wine_prefix)
  set_tests_properties(wine.prefix.cleanup PROPERTIES
                       FIXTURES_CLEANUP wine_prefix ENVIRONMENT "${env}" TIMEOUT 60
                       RESOURCE_LOCK wine_prefix)
endfunction()

# halcyon_wine_host(<target> [LOADS_AT_RUN_TIME] <source>...)
# A plain x86_64 console exe linked to HalcyonSessionCtrl through its public headers and
# import library (LOADS_AT_RUN_TIME: not linked, it calls LoadLibraryW itself), with a
# manifest declaring Windows 10 so version checks see 10. It lands in bin/ beside
# HalcyonSessionCtrl.dll and tessark.dll.
function(halcyon_wine_host target)
  cmake_parse_arguments(ARG "LOADS_AT_RUN_TIME" "" "" ${ARGN})
  add_executable(${target} ${ARG_UNPARSED_ARGUMENTS} ${HALCYON_WINE_COMMON_DIR}/wine_host.rc)
  target_include_directories(${target} PRIVATE ${HALCYON_WINE_COMMON_DIR})
  if(ARG_LOADS_AT_RUN_TIME)
    add_dependencies(${target} HalcyonSessionCtrl)
  else()
    target_link_libraries(${target} PRIVATE HalcyonSessionCtrl)
  endif()
  set_source_files_properties(${HALCYON_WINE_COMMON_DIR}/wine_host.rc PROPERTIES
                              OBJECT_DEPENDS ${HALCYON_WINE_COMMON_DIR}/wine_host.manifest)
  halcyon_warnings(${target})
endfunction()

# halcyon_wine_test(<name> SCRIPT <script.sh> [DEPENDS <target>...] [TIMEOUT <s>])
# Registers test "wine.<name>": bash runs <script.sh>, which sources $HALCYON_WINE_LIB.
# The Wine tests share one prefix and its registry, so they run one at a time.
function(halcyon_wine_test name)
  cmake_parse_arguments(ARG "" "SCRIPT;TIMEOUT" "DEPENDS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  halcyon_wine_environment(env)
  list(APPEND env "HALCYON_TEST_NAME=${name}")
  add_test(NAME wine.${name} COMMAND ${HALCYON_BASH} ${ARG_SCRIPT})
  set_tests_properties(wine.${name} PROPERTIES
                       FIXTURES_REQUIRED wine_prefix RESOURCE_LOCK wine_prefix
                       ENVIRONMENT "${env}" TIMEOUT ${ARG_TIMEOUT} LABELS wine)
endfunction()
