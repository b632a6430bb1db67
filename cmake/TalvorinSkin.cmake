# Packing a skin folder into the 7z archive the installer carries, and
# carrying it: a resource (type ZIPRES, id 147, Chinese PRC) on Windows, bytes
# linked into the program elsewhere.

find_program(TALVORIN_7ZZ NAMES 7zz REQUIRED)

# talvorin_pack_skin(<output.7z> <folder> [STORED_FRAMES] [7zz switches...]):
# every file under the folder, entry names relative to it with forward slashes,
# one solid LZMA2 block. The glob is re-checked at each build, so an added,
# removed or changed file repacks the archive. File times are left out so that
# the same folder always gives the same bytes.
# STORED_FRAMES packs the frames of the skin's animations (folders of eight or
# more PNG images of one size) with their pixels stored instead of deflated
# (cmake/skin_frames.py): the same pixels, and the solid block then compresses
# what neighbouring frames share, about half the archive. The price is memory:
# the archive is held unpacked, and the frames are then their raw size there.
function(talvorin_pack_skin output folder)
  set(switches ${ARGN})
  set(stored_frames OFF)
  if(switches AND "${ARGV2}" STREQUAL "STORED_FRAMES")
    set(stored_frames ON)
    list(REMOVE_AT switches 0)
  endif()
  file(GLOB_RECURSE files CONFIGURE_DEPENDS LIST_DIRECTORIES false
       RELATIVE "${folder}" "${folder}/*")
  list(SORT files)
  get_filename_component(output_dir "${output}" DIRECTORY)
  if(NOT files)
    message(WARNING "${folder} holds no files: the skin archive ${output} will be empty")
    add_custom_command(OUTPUT "${output}"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${output_dir}"
      COMMAND ${CMAKE_COMMAND} -E touch "${output}"
      VERBATIM)
    return()
  endif()
  set(inputs "")
  foreach(f IN LISTS files)
    list(APPEND inputs "${folder}/${f}")
  endforeach()
  set(pack_from "${folder}")
  set(prepare "")
  if(stored_frames)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    set(script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/skin_frames.py")
    set(pack_from "${output}.staging")
    set(prepare COMMAND Python3::Interpreter "${script}" "${folder}" "${pack_from}")
    list(APPEND inputs "${script}")
  endif()
  # `7zz a` adds to an archive that exists, so a removed file would stay.
  # LC_ALL: 7zz turns file names into Unicode through the locale.
  add_custom_command(OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${output_dir}"
    COMMAND ${CMAKE_COMMAND} -E rm -f "${output}"
    ${prepare}
    COMMAND ${CMAKE_COMMAND} -E chdir "${pack_from}" ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
            "${TALVORIN_7ZZ}" a -t7z -m0=lzma2 -ms=on -mx=9 -mtm=off -mtc=off -mta=off
            -bd -bso0 -bsp0 ${switches} "${output}" -- ${files}
    DEPENDS ${inputs}
    COMMENT "Packing ${folder} into ${output}"
    VERBATIM)
endfunction()

# talvorin_embed_skin(<library> <archive> <posix source>): makes <library>
# carry the archive for embedded_skin_<os>.cpp to find. The archive must come
# from a custom command of the same directory; <posix source> is the file
# that includes it on Linux.
function(talvorin_embed_skin library archive posix_source)
  if(WIN32)
    set(rc "${CMAKE_CURRENT_BINARY_DIR}/${library}_skin.rc")
    file(WRITE "${rc}.in"
      "#include <windows.h>\n"
      "LANGUAGE LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED\n"
      "147 ZIPRES \"${archive}\"\n")
    configure_file("${rc}.in" "${rc}" COPYONLY)
    set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${archive}")
    # A resource object defines no symbol, so inside a static library the
    # linker would never pull it in: its object goes straight onto the link
    # line of every program that links the library. It has a target of its
    # own also because the compiler warnings of our code are not windres options.
    add_library(${library}_resource OBJECT "${rc}")
    target_link_libraries(${library} INTERFACE $<TARGET_OBJECTS:${library}_resource>)
    add_dependencies(${library} ${library}_resource)
  else()
    # embedded_skin_posix.cpp includes the archive with the assembler's .incbin.
    # (.incbin is invisible to the compiler's dependency files.)
    set_source_files_properties("${posix_source}" PROPERTIES
      COMPILE_DEFINITIONS "TALVORIN_SKIN_ARCHIVE=\"${archive}\""
      OBJECT_DEPENDS "${archive}")
  endif()
endfunction()
