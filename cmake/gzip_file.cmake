# trawlbox_gzip_file(<source> <variable>): compresses <source> (relative to
# the source folder) into the build folder at build time and sets <variable>
# to the .gz file. gzip -9n leaves the name and time out of the header, so
# the same source always gives the same bytes.
find_program(TRAWLBOX_GZIP gzip REQUIRED)

function(trawlbox_gzip_file source variable)
  get_filename_component(name ${source} NAME)
  set(plain ${CMAKE_BINARY_DIR}/gzip/${name})
  add_custom_command(
    OUTPUT ${plain}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/gzip
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/${source} ${plain}
    COMMAND ${TRAWLBOX_GZIP} -9nf ${plain}
    DEPENDS ${CMAKE_SOURCE_DIR}/${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  string(MAKE_C_IDENTIFIER "gzip_${name}" target)
  add_custom_target(${target} ALL DEPENDS ${plain}.gz)
  set(${variable} ${plain}.gz PARENT_SCOPE)
endfunction()
