# System DLLs that are not on Windows' list of known DLLs are imported lazily, through
# delay-load import libraries made here with dlltool: Windows would otherwise look for them in
# the program's own folder first and load a planted copy before the program's first line runs.
# The delay-load helper then loads each one on first use from the system folder only (the hook
# in platform/win32/system_folder.cpp). scripts/check-imports.sh proves that no deliverable
# imports anything else.
#
#   qor_delay_import(<dll base name> <function>@<argument bytes>...)
#
# makes the library qor_delay_<dll base name>, to link instead of the system import library.
# It lists the functions the programs call; a new one is added here (the link fails with an
# undefined __imp_ reference until it is). The @n is the i686 stdcall decoration.
function(qor_delay_import name)
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  set(def "LIBRARY ${name}.dll\nEXPORTS\n")
  foreach(function IN LISTS ARGN)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      string(REGEX REPLACE "@[0-9]+$" "" function "${function}")
    endif()
    string(APPEND def "  ${function}\n")
  endforeach()
  # Written (and the library remade) only when the list changed, so that nothing relinks.
  file(WRITE ${dir}/${name}.def.new "${def}")
  configure_file(${dir}/${name}.def.new ${dir}/${name}.def COPYONLY)
  set(lib ${dir}/lib${name}_delay.a)
  if(NOT EXISTS ${lib} OR ${dir}/${name}.def IS_NEWER_THAN ${lib})
    set(kill_at)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(kill_at --kill-at)
    endif()
    execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${dir}/${name}.def --dllname ${name}.dll
                            --output-delaylib ${lib} ${kill_at}
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "dlltool could not make the delay-load library of ${name}.dll")
    endif()
  endif()
  add_library(qor_delay_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(qor_delay_${name} PROPERTIES IMPORTED_LOCATION ${lib})
endfunction()

qor_delay_import(wininet
  HttpAddRequestHeadersA@16 HttpOpenRequestA@32 HttpQueryInfoA@20 HttpSendRequestA@20
  InternetCloseHandle@4 InternetConnectA@32 InternetGetConnectedState@8 InternetOpenA@20
  InternetQueryDataAvailable@16 InternetReadFile@16 InternetSetOptionA@16)
qor_delay_import(version GetFileVersionInfoSizeW@8 GetFileVersionInfoW@16 VerQueryValueW@16)
qor_delay_import(userenv GetProfilesDirectoryW@8)
qor_delay_import(uxtheme SetWindowTheme@12)
