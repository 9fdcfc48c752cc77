# nlohmann-json for a cross build. The library is header-only, so the build
# machine's package serves any target; but its headers sit in /usr/include
# beside the build machine's C library, which must stay out of sight of the
# cross compiler. The target therefore gets a folder of its own that holds
# only a link to the nlohmann folder.
find_package(nlohmann_json 3.10 REQUIRED NO_CMAKE_FIND_ROOT_PATH PATHS /usr/share/cmake)
get_target_property(json_include_dirs nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
find_path(json_headers nlohmann/json.hpp PATHS ${json_include_dirs} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(json_only_dir ${CMAKE_BINARY_DIR}/nlohmann-json-headers)
file(MAKE_DIRECTORY ${json_only_dir})
file(CREATE_LINK ${json_headers}/nlohmann ${json_only_dir}/nlohmann SYMBOLIC)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${json_only_dir})
