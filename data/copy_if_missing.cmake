# Copies SRC to DST unless DST is there. For a folder, each file in it is
# copied unless its counterpart is there: a rebuild adds what is new and
# keeps what the user changed.
if(IS_DIRECTORY "${SRC}")
  file(GLOB_RECURSE _files RELATIVE "${SRC}" "${SRC}/*")
  foreach(f IN LISTS _files)
    if(NOT EXISTS "${DST}/${f}")
      get_filename_component(_dir "${DST}/${f}" DIRECTORY)
      file(MAKE_DIRECTORY "${_dir}")
      file(COPY_FILE "${SRC}/${f}" "${DST}/${f}")
    endif()
  endforeach()
elseif(NOT EXISTS "${DST}")
  file(COPY_FILE "${SRC}" "${DST}")
endif()
