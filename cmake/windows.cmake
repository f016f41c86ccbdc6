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

# libtorrent-rasterbar for the swarm check: the static library scripts/build-libtorrent-mingw cross-builds into
# the cache outside the clone (scripts/test runs it before this build). Its CMake package brings the target
# LibtorrentRasterbar::torrent-rasterbar with the library's own TORRENT_* definitions and Windows libraries; Boost
# is Debian's headers, seen through the `boost` link beside libtorrent's. Without the cache the build goes on
# without the check: LANQI_HAVE_SWARM is OFF and the program's LANQI_HAVE_SWARM is 0.
if(DEFINED ENV{LANQI_CACHE_DIR})
  set(lanqi_cache $ENV{LANQI_CACHE_DIR})
else()
  set(lanqi_cache $ENV{HOME}/.cache/lanqi-search)
endif()
set(LANQI_LIBTORRENT_MINGW ${lanqi_cache}/libtorrent-mingw-2.0.8 CACHE PATH
  "libtorrent-rasterbar cross-built for this toolchain (scripts/build-libtorrent-mingw)")
set(LANQI_HAVE_SWARM OFF)
if(EXISTS ${LANQI_LIBTORRENT_MINGW}/lanqi-stamp)
  set(Boost_NO_BOOST_CMAKE ON)
  set(Boost_INCLUDE_DIR ${LANQI_LIBTORRENT_MINGW}/include CACHE PATH "Boost's headers for the Windows build" FORCE)
  find_package(LibtorrentRasterbar 2.0 CONFIG PATHS ${LANQI_LIBTORRENT_MINGW}/lib/cmake/LibtorrentRasterbar
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
endif()
if(LibtorrentRasterbar_FOUND)
  set(LANQI_HAVE_SWARM ON)
  message(STATUS "libtorrent-rasterbar ${LibtorrentRasterbar_VERSION} for Windows: ${LANQI_LIBTORRENT_MINGW}")
else()
  message(STATUS "No libtorrent-rasterbar for Windows in ${LANQI_LIBTORRENT_MINGW} (scripts/build-libtorrent-mingw "
    "makes it): the Windows programs have no swarm check")
endif()
add_compile_definitions(LANQI_HAVE_SWARM=$<BOOL:${LANQI_HAVE_SWARM}>)
