# One folder is one library: every source in it belongs to it.
function(quelto_sources out dir)
  file(GLOB _s CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  set(${out} ${_s} PARENT_SCOPE)
endfunction()
