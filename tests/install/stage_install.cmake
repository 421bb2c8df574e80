# Installs the build tree into a fresh stage, as `DESTDIR=STAGE cmake
# --install BUILD_DIR --prefix /usr` does for a package.
#   cmake -DBUILD_DIR=<build> -DSTAGE=<folder> -P stage_install.cmake
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE}
                        ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
                RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${_out}")
endif()
