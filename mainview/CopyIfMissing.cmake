# Copies SRC to DST unless DST exists or SRC is missing.
if(EXISTS "${SRC}" AND NOT EXISTS "${DST}")
  get_filename_component(_dir "${DST}" DIRECTORY)
  file(MAKE_DIRECTORY "${_dir}")
  file(COPY_FILE "${SRC}" "${DST}")
endif()
