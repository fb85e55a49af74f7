# varkon_add_catalogue(<target> DOMAIN <domain> PO <po files...>)
#
# Merges the English .po files of a program and of the libraries it uses into
# one catalogue of the program's text domain and compiles it with msgfmt to
# <bin>/locale/en/LC_MESSAGES/<domain>.mo, where the program finds it relative
# to its own executable. The target depends on the catalogue.
find_program(MSGFMT_EXECUTABLE msgfmt REQUIRED)
find_program(MSGCAT_EXECUTABLE msgcat REQUIRED)

function(varkon_add_catalogue target)
  cmake_parse_arguments(ARG "" "DOMAIN" "PO" ${ARGN})
  set(dir ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/locale/en/LC_MESSAGES)
  set(mo ${dir}/${ARG_DOMAIN}.mo)
  set(merged ${CMAKE_CURRENT_BINARY_DIR}/${ARG_DOMAIN}.en.po)
  set(sources)
  foreach(po ${ARG_PO})
    get_filename_component(abs ${po} ABSOLUTE)
    list(APPEND sources ${abs})
  endforeach()
  add_custom_command(
    OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${MSGCAT_EXECUTABLE} --use-first -o ${merged} ${sources}
    COMMAND ${MSGFMT_EXECUTABLE} --check-format --check-domain -o ${mo} ${merged}
    DEPENDS ${sources}
    COMMENT "Compiling the ${ARG_DOMAIN} message catalogue"
    VERBATIM)
  add_custom_target(${target}_catalogue DEPENDS ${mo})
  add_dependencies(${target} ${target}_catalogue)
endfunction()
