# Cross toolchain for machines that cannot execute 32-bit code: the same sources as 64-bit Windows
# programs, run by 64-bit Wine, so that the Windows tests still run there. Nothing built with it
# is shipped; the product stays 32-bit (mingw-i686.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOL_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_DLLTOOL ${TOOL_PREFIX}-dlltool)
set(KESTRANE_STANDIN64 ON)
