# Stages the package's documentation folder (share/doc/mirelle-loader) in
# STAGED: README.md and doc/*.md, each compressed with gzip -9n when over
# 4 kB (4096 bytes, as dh_compress does); the pictures of doc/; changelog.gz;
# copyright.
#   cmake -DSOURCE_DIR=... -DPACKAGING_DIR=... -DSTAGED=... -DGZIP=... -P StageDocs.cmake
file(REMOVE_RECURSE ${STAGED})
file(MAKE_DIRECTORY ${STAGED}/doc)

# Compresses FILE in place, as FILE.gz, without a name or time stamp in it.
function(compress file)
  execute_process(COMMAND ${GZIP} -9nf ${file} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip -9n ${file} failed")
  endif()
endfunction()

file(GLOB pages RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/doc/*.md)
foreach(page README.md ${pages})
  get_filename_component(folder ${STAGED}/${page} DIRECTORY)
  file(COPY ${SOURCE_DIR}/${page} DESTINATION ${folder})
  file(SIZE ${SOURCE_DIR}/${page} size)
  if(size GREATER 4096)
    compress(${STAGED}/${page})
  endif()
endforeach()
file(GLOB pictures ${SOURCE_DIR}/doc/*.png)
file(COPY ${pictures} DESTINATION ${STAGED}/doc)
file(COPY ${PACKAGING_DIR}/copyright ${PACKAGING_DIR}/changelog DESTINATION ${STAGED})
compress(${STAGED}/changelog)
