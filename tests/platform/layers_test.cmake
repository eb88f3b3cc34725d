# Keeps the dependencies between the platform layers one-way, which the build alone does not (every
# layer may include any header of the tree):
#  - the device layer (d3d9) never reaches into D3DX (d3dx9);
#  - D3DX uses of the device layer only its public header;
#  - the font lookup (fontlookup) depends on no other layer, and win32 on neither d3d9 nor d3dx9.
# Run as: cmake -DROOT=<source folder> -P layers_test.cmake
set(_failures "")

# Every `#include "platform/..."` of the files in `dir` that matches `forbidden` is a failure.
function(check_includes dir forbidden)
  file(GLOB _files ${ROOT}/platform/${dir}/*.h ${ROOT}/platform/${dir}/*.cpp)
  foreach(_file ${_files})
    file(STRINGS ${_file} _includes REGEX "^#include \"platform/")
    foreach(_line ${_includes})
      if(_line MATCHES "${forbidden}")
        file(RELATIVE_PATH _rel ${ROOT} ${_file})
        list(APPEND _failures "${_rel}: ${_line}")
      endif()
    endforeach()
  endforeach()
  set(_failures ${_failures} PARENT_SCOPE)
endfunction()

check_includes(d3d9 "platform/d3dx9/")
check_includes(d3dx9 "platform/d3d9/[^\"]*\"" )
list(FILTER _failures EXCLUDE REGEX "platform/d3d9/d3d9\\.h\"")
check_includes(fontlookup "platform/[^f]")
check_includes(win32 "platform/d3dx?9/")

if(_failures)
  list(JOIN _failures "\n  " _text)
  message(FATAL_ERROR "platform layers include across their boundaries:\n  ${_text}")
endif()
message(STATUS "platform layers: dependencies one-way")
