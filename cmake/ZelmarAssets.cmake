# The fonts the windows draw with come from Debian packages and ship with
# their licence texts beside the program, where the asset lookup finds them
# (assets\fonts in the program's folder or its parent).

set(ZELMAR_FONT_FILES
  /usr/share/fonts/truetype/dseg/DSEG7Classic-Bold.ttf
  /usr/share/fonts/truetype/materialdesignicons-webfont/materialdesignicons-webfont.ttf)
set(ZELMAR_FONT_LICENSES
  /usr/share/doc/fonts-dseg/copyright
  /usr/share/doc/fonts-materialdesignicons-webfont/copyright)
set(ZELMAR_FONT_LICENSE_NAMES DSEG-LICENSE.txt MaterialDesignIcons-LICENSE.txt)

# zelmar_ui_assets(target): copies the fonts and their licences into
# assets/fonts next to the target's executable after each build.
function(zelmar_ui_assets target)
  if(NOT WIN32)
    return()
  endif()
  foreach(file IN LISTS ZELMAR_FONT_FILES ZELMAR_FONT_LICENSES)
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "${file} is missing: run scripts/setup.sh (packages fonts-dseg and fonts-materialdesignicons-webfont)")
    endif()
  endforeach()
  set(dir $<TARGET_FILE_DIR:${target}>/assets/fonts)
  set(commands COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZELMAR_FONT_FILES} ${dir})
  foreach(license name IN ZIP_LISTS ZELMAR_FONT_LICENSES ZELMAR_FONT_LICENSE_NAMES)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${license} ${dir}/${name})
  endforeach()
  add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
endfunction()
