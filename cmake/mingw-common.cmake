# Shared by both MinGW-w64 toolchains. The posix thread model gives std::thread
# and friends to the test framework; the program itself uses Win32 threads.
foreach(suffix "-posix" "")
  if(NOT CMAKE_CXX_COMPILER AND EXISTS /usr/bin/${ZELVARO_MINGW_TRIPLE}-g++${suffix})
    set(CMAKE_C_COMPILER /usr/bin/${ZELVARO_MINGW_TRIPLE}-gcc${suffix})
    set(CMAKE_CXX_COMPILER /usr/bin/${ZELVARO_MINGW_TRIPLE}-g++${suffix})
  endif()
endforeach()
set(CMAKE_RC_COMPILER /usr/bin/${ZELVARO_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZELVARO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows test programs run through wine; the scripts set WINEPREFIX per build.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
endif()
