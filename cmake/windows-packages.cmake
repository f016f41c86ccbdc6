# The Windows packages, made on demand only (makensis would slow down every build):
#   cmake --build build/windows --target windows-packages
# gives, in the build folder,
#   lanqi-search-<version>-setup.exe         the NSIS installer (packaging/windows/installer.nsi)
#   lanqi-search-<version>-windows-x64.zip   the same files to unpack anywhere, in lanqi-search-<version>/
# Both hold one staged tree, laid out as the programs expect it: the site definitions in
# ..\share\lanqi-search\sites from the programs' folder (installedSiteDefinitionFolder()).
#   bin/lanqi-search.exe  bin/lanqi-cli.exe  share/lanqi-search/sites/site1.toml .. site6.toml  README-windows.txt
find_program(LANQI_MAKENSIS makensis DOC "NSIS's compiler, for the Windows installer (Debian package nsis)")

# The window client's target is made in src/, after this file; the packages are wired once the whole tree is read.
function(lanqi_windows_packages)
  if(NOT TARGET lanqi-search OR NOT TARGET lanqi-cli)
    message(STATUS "windows-packages: no lanqi-search target in this build, so no Windows packages")
    return()
  endif()
  set(source ${PROJECT_SOURCE_DIR}/packaging/windows)
  set(folder lanqi-search-${PROJECT_VERSION})
  set(stage ${PROJECT_BINARY_DIR}/windows-packages/${folder})
  set(setup ${PROJECT_BINARY_DIR}/lanqi-search-${PROJECT_VERSION}-setup.exe)
  set(zip ${PROJECT_BINARY_DIR}/lanqi-search-${PROJECT_VERSION}-windows-x64.zip)
  set(sites)
  foreach(n RANGE 1 6)
    list(APPEND sites ${PROJECT_SOURCE_DIR}/sites/site${n}.toml)
  endforeach()
  # The installer's and the uninstaller's icon: the program's own, packed when the program is built.
  get_property(icon GLOBAL PROPERTY LANQI_WINDOWS_ICON)
  # Windows' file version has four numbers.
  set(quad ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
  foreach(part PATCH TWEAK)
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
      string(APPEND quad .0)
    else()
      string(APPEND quad .${PROJECT_VERSION_${part}})
    endif()
  endforeach()

  # Without makensis the build of this target fails, and says why; the rest of the build does not need it.
  set(check)
  if(NOT LANQI_MAKENSIS)
    set(check COMMAND ${CMAKE_COMMAND} -E echo
      "windows-packages needs makensis: install the Debian package nsis, then configure again"
      COMMAND ${CMAKE_COMMAND} -E false)
  endif()

  add_custom_command(OUTPUT ${setup} ${zip}
    ${check}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${setup} ${zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/bin ${stage}/share/lanqi-search/sites
    COMMAND ${CMAKE_STRIP} -o ${stage}/bin/lanqi-search.exe $<TARGET_FILE:lanqi-search>
    COMMAND ${CMAKE_STRIP} -o ${stage}/bin/lanqi-cli.exe $<TARGET_FILE:lanqi-cli>
    COMMAND ${CMAKE_COMMAND} -E copy ${sites} ${stage}/share/lanqi-search/sites
    COMMAND ${CMAKE_COMMAND} -E copy ${source}/README-windows.txt ${stage}
    COMMAND ${LANQI_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION} -DVERSION_QUAD=${quad}
      -DSTAGE=${stage} -DICON=${icon} -DOUTFILE=${setup} ${source}/installer.nsi
    COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/windows-packages
      ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${folder}
    DEPENDS lanqi-search lanqi-cli ${sites} ${icon}
      ${source}/README-windows.txt ${source}/installer.nsi
    COMMENT "Making ${setup} and ${zip}"
    VERBATIM)
  add_custom_target(windows-packages DEPENDS ${setup} ${zip})
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL lanqi_windows_packages)
