# layer_include_root(TARGET LAYER)
#
# Headers are included as "layer/dir/file.h". The source root itself is on no
# include path, since that would show every layer to every target. Instead
# each layer gets an include root of its own in the build tree, holding one
# symbolic link named after the layer that points at the layer's source
# directory; this puts that root on TARGET's public include path. A target
# sees a layer's headers only by linking a library of that layer, so an
# include that crosses into a layer the target does not link fails to build.
function(layer_include_root target layer)
  set(root ${CMAKE_BINARY_DIR}/include_roots/${layer})
  set(link ${root}/${layer})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${layer} ${link} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()
