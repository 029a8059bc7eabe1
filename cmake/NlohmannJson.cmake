# nlohmann/json, header-only (Debian's nlohmann-json3-dev), as the interface target
# halcyon_nlohmann_json. Every build gets a folder holding nothing but its headers: the cross
# builds must not see /usr/include itself, whose C headers are Linux's.
find_path(HALCYON_NLOHMANN_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(staged ${CMAKE_BINARY_DIR}/nlohmann-json-include)
file(MAKE_DIRECTORY ${staged})
file(CREATE_LINK ${HALCYON_NLOHMANN_JSON_DIR}/nlohmann ${staged}/nlohmann SYMBOLIC)
add_library(halcyon_nlohmann_json INTERFACE)
target_include_directories(halcyon_nlohmann_json SYSTEM INTERFACE ${staged})
