# What the vrma layer's glTF writer needs, and the programs' link to the
# layer. Included from the top CMakeLists.txt once every layer exists.
#
# tiny_gltf.h is Debian's (libtinygltf-dev); its implementation is compiled
# from the header in vrma/gltf_impl.cpp. Like nlohmann::json, the header is
# copied into the build tree so that the cross builds find it without the
# rest of the host's /usr/include.
find_path(TARVEL_TINYGLTF_DIR tiny_gltf.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${TARVEL_TINYGLTF_DIR}/tiny_gltf.h DESTINATION ${CMAKE_BINARY_DIR}/gltf-include)
target_include_directories(tarvel_vrma SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/gltf-include ${CMAKE_BINARY_DIR}/json-include)
target_link_libraries(tarvel_app PUBLIC tarvel_vrma)
