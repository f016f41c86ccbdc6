# What the Windows build uses in place of the Linux packages. The header-only libraries (nlohmann-json, CLI11,
# toml++) are the build machine's Debian headers, copied into the build tree so that the cross compiler sees
# them without the rest of /usr/include; libcurl, iconv and libjpeg have Win32 services in their place
# (WinInet, code pages, the Windows Imaging Component).
set(LANQI_WIN32_HEADERS ${PROJECT_BINARY_DIR}/win32-headers)
foreach(folder nlohmann CLI toml++)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: scripts/install-deps installs it")
  endif()
  file(COPY /usr/include/${folder} DESTINATION ${LANQI_WIN32_HEADERS})
endforeach()
foreach(target nlohmann_json::nlohmann_json CLI11::CLI11 tomlplusplus::tomlplusplus)
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${LANQI_WIN32_HEADERS})
endforeach()
set_target_properties(tomlplusplus::tomlplusplus PROPERTIES INTERFACE_COMPILE_DEFINITIONS TOML_HEADER_ONLY=1)

# GCC 12's -Wrestrict reports overlaps inside libstdc++'s own string code at -O2 that cannot happen (GCC bug
# 105329); the Linux build does not see them at its optimisation level.
add_compile_options(-Wno-restrict)
