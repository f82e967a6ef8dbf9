# One folder is one library: every source in it and its feature subfolders belongs to it.
function(quelto_sources out dir)
  file(GLOB_RECURSE _s CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  set(${out} ${_s} PARENT_SCOPE)
endfunction()
