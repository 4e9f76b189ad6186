# The VRM Animation file: the glTF writer and the expressions, as the
# library tarvel_vrma_file. Included from the top CMakeLists.txt.
#
# tiny_gltf.h is Debian's (libtinygltf-dev); its implementation is compiled
# from the header in vrma/gltf_impl.cpp. Like nlohmann::json, the header is
# copied into the build tree so that the cross builds find it without the
# rest of the host's /usr/include.
find_path(TARVEL_TINYGLTF_DIR tiny_gltf.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(COPY ${TARVEL_TINYGLTF_DIR}/tiny_gltf.h DESTINATION ${CMAKE_BINARY_DIR}/gltf-include)
add_library(tarvel_vrma_file STATIC
  ${CMAKE_SOURCE_DIR}/vrma/vrma_file.cpp
  ${CMAKE_SOURCE_DIR}/vrma/expressions.cpp
  ${CMAKE_SOURCE_DIR}/vrma/gltf_impl.cpp)
target_include_directories(tarvel_vrma_file SYSTEM PRIVATE
  ${CMAKE_BINARY_DIR}/gltf-include ${CMAKE_BINARY_DIR}/json-include)
target_link_libraries(tarvel_vrma_file PUBLIC tarvel_base)
