# 64-bit build of the same program, for running the Windows tests under 64-bit
# Wine on machines whose kernel cannot run 32-bit programs. The product is the
# 32-bit build (toolchain-mingw.cmake).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
