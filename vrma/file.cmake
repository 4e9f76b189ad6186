# The vrma layer (vrma/*.cpp, as the library tarvel_vrma) with what its
# glTF writer needs. Included from the top CMakeLists.txt once every layer
# exists: the layer is made here unless it already is.
#
# tiny_gltf.h is Debian's (libtinygltf-dev); its implementation is compiled
# from the header in vrma/gltf_impl.cpp. Like nlohmann::json, the header is
# copied into the build tree so that the cross builds find it without the
# rest of the host's /usr/include.
find_path(TARVEL_TINYGLTF_DIR tiny_gltf.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${TARVEL_TINYGLTF_DIR}/tiny_gltf.h DESTINATION ${CMAKE_BINARY_DIR}/gltf-include)
if(NOT TARGET tarvel_vrma)
  tarvel_layer(tarvel_vrma vrma)
  target_link_libraries(tarvel_vrma PUBLIC tarvel_fix tarvel_base)
endif()
target_include_directories(tarvel_vrma SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/gltf-include ${CMAKE_BINARY_DIR}/json-include)
target_link_libraries(tarvel_app PUBLIC tarvel_vrma)
