# Copies SRC to DST unless DST exists or SRC is missing.
if(EXISTS "${SRC}" AND NOT EXISTS "${DST}")
  file(COPY_FILE "${SRC}" "${DST}")
endif()
