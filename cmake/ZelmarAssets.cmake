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

# zelmar_window_program(target description): everything a Windows program
# that opens the main window carries: the version resource, the icon (drawn
# by scripts/make_icon.py) and the manifest as resources; beside it the
# fonts, the help topics, the compiled help and the logo, and LICENSE.txt
# (the program's licence followed by the fonts' licences).
function(zelmar_window_program target description)
  if(NOT WIN32)
    return()
  endif()
  zelmar_version_resource(${target} "${description}" ${ARGN})
  zelmar_ui_assets(${target})

  set(generated ${CMAKE_BINARY_DIR}/generated)
  set(icon ${generated}/DMM5174K.ico)
  set(manifest ${PROJECT_SOURCE_DIR}/packaging/windows/DMM5174K.manifest)
  if(NOT TARGET zelmar_app_icon)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_custom_command(OUTPUT ${icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
      COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/make_icon.py ${icon}
      DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make_icon.py
      COMMENT "Drawing the application icon" VERBATIM)
    add_custom_target(zelmar_app_icon DEPENDS ${icon})

    set(license_parts ${PROJECT_SOURCE_DIR}/packaging/windows/LICENSE-program.txt ${ZELMAR_FONT_LICENSES})
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license_parts})
    set(license "")
    foreach(part IN LISTS license_parts)
      file(READ ${part} content)
      string(APPEND license "${content}\n\n")
    endforeach()
    string(REPLACE "\n" "\r\n" license "${license}")
    file(WRITE ${generated}/LICENSE.txt "${license}")

    # The compiled help (chmcmd from fp-utils) and the About window's logo.
    find_program(ZELMAR_CHMCMD chmcmd REQUIRED)
    file(GLOB_RECURSE topics CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/assets/help/topics/*)
    add_custom_command(OUTPUT ${generated}/help/DMM5174K.chm
      COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/make_help.py
        ${PROJECT_SOURCE_DIR}/assets/help/topics ${generated}/help
      DEPENDS ${topics} ${PROJECT_SOURCE_DIR}/scripts/make_help.py
      COMMENT "Compiling the help topics into DMM5174K.chm" VERBATIM)
    add_custom_command(OUTPUT ${generated}/ZELMAR_LOGO.png
      COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/make_logo.py ${generated}/ZELMAR_LOGO.png 160
      DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make_logo.py
      COMMENT "Drawing the logo" VERBATIM)
    add_custom_target(zelmar_help_and_logo DEPENDS ${generated}/help/DMM5174K.chm ${generated}/ZELMAR_LOGO.png)
  endif()

  set(ZELMAR_ICON_FILE ${icon})
  set(ZELMAR_MANIFEST_FILE ${manifest})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_app.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/app.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${icon};${manifest}")
  add_dependencies(${target} zelmar_app_icon zelmar_help_and_logo)

  set(dir $<TARGET_FILE_DIR:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/assets/help ${dir}/help
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${generated}/LICENSE.txt ${dir}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/assets/help ${dir}/assets/images
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${generated}/help/DMM5174K.chm ${dir}/assets/help/DMM5174K.chm
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${generated}/ZELMAR_LOGO.png ${dir}/assets/images/ZELMAR_LOGO.png
    VERBATIM)
endfunction()
