# solvei_embed_skin(TARGET FOLDER)
# After TARGET links, packs every file under FOLDER into the skin archive and appends it to
# the target's executable with `solvei-skin append`. The program is relinked (and so packed
# again) whenever a file of the skin changes.
function(solvei_embed_skin target folder)
    file(GLOB_RECURSE skin_files CONFIGURE_DEPENDS ${folder}/*)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${skin_files})
    if(NOT target STREQUAL "solvei-skin")
        add_dependencies(${target} solvei-skin)
    endif()
    # append writes a new file and renames it over the old one, so the tool can also pack
    # the skin onto its own executable.
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND $<TARGET_FILE:solvei-skin> append $<TARGET_FILE:${target}> ${folder}
        COMMENT "Packing skin ${folder} into ${target}"
        VERBATIM)
endfunction()
