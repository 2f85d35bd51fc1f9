cmake_minimum_required(VERSION 3.25)
# cmake -DSOURCE_DIR=... -P CheckPlatform.cmake
# Fails with one line per POSIX-only header outside the places that may use
# one, so that the window and mirelle-cli still build on Windows: sim/ (which
# serves pseudo-terminals), demo/ and tests/ (which run on Linux only), and
# one platform file per concern, each with its Windows branch (_WIN32)
# written beside the POSIX one.

set(posix_folders sim demo tests)
set(platform_files
  app/ui/QuitOnSignal.cpp   # the window's stop signals
  cli/Signals.cpp           # mirelle-cli's stop signals
  cli/Terminal.cpp          # whether a stream is a terminal, its width
  files/TargetFacts.cpp     # what the system says of a file about to be replaced
  link/LowLatency.cpp       # the serial port's low-latency request
  link/PortPathFacts.cpp    # what the system says of a port's device path
)

# Headers of POSIX (and Linux) that Windows compilers do not have, or have
# only in part.
set(posix_headers unistd signal termios termio fcntl pwd grp poll pty util libutil dirent dlfcn pthread
  sched semaphore spawn strings syslog utmp utmpx libgen glob fnmatch netdb err execinfo ucontext wordexp
  langinfo mntent paths ifaddrs ftw utime aio mqueue regex iconv nl_types sysexits)
list(JOIN posix_headers "|" names)
set(posix_include "^[ \t]*#[ \t]*include[ \t]*<((sys|linux|asm|bits|netinet|arpa|net)/[^>]+|(${names})\\.h)>")

# Every folder of the project with a CMakeLists.txt: build folders have none.
set(breaches "")
file(GLOB tops RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
foreach(top ${tops})
  if(NOT EXISTS ${SOURCE_DIR}/${top}/CMakeLists.txt OR top IN_LIST posix_folders)
    continue()
  endif()
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${top}/*.h ${SOURCE_DIR}/${top}/*.cpp)
  foreach(source ${sources})
    if(source IN_LIST platform_files)
      continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "${posix_include}")
    foreach(include ${includes})
      string(STRIP "${include}" include)
      list(APPEND breaches "${source}: ${include} (POSIX only: move it into a platform file)")
    endforeach()
  endforeach()
endforeach()

foreach(file ${platform_files})
  if(EXISTS ${SOURCE_DIR}/${file})
    file(STRINGS ${SOURCE_DIR}/${file} windows REGEX "_WIN32")
    if(NOT windows)
      list(APPEND breaches "${file}: a platform file without its Windows branch (_WIN32)")
    endif()
  endif()
endforeach()

if(breaches)
  list(JOIN breaches "\n  " text)
  message(FATAL_ERROR "Windows would not build:\n  ${text}")
endif()
message(STATUS "No POSIX-only header outside sim, demo, tests and the platform files")
