# Copies every file below SRC to the same place below DST unless DST already has a file of that
# name: a rebuild must never overwrite settings, favourites or stations the user has changed.
file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/*)
foreach(rel IN LISTS files)
  if(NOT EXISTS ${DST}/${rel})
    get_filename_component(dir ${DST}/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(COPY_FILE ${SRC}/${rel} ${DST}/${rel})
  endif()
endforeach()
