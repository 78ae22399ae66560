# The vendor's public key for signed updates, built into the updater.
#
#   qor_update_key(<target> <key>)
#
# <key> is the key's PEM text or the path of its file (as `qor_sign keygen` writes it); empty
# builds the updater without a key, and then it never asks for a signature. The target gets a
# header "qor/update_key.h" that defines QOR_UPDATE_PUBLIC_KEY_PEM (empty text without a key).
function(qor_update_key target key)
  set(pem "")
  if(NOT key STREQUAL "")
    if(EXISTS "${key}")
      file(READ "${key}" pem)
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${key}")
    else()
      set(pem "${key}")
    endif()
    string(REPLACE "\r" "" pem "${pem}")
    string(STRIP "${pem}" pem)
    if(NOT pem MATCHES "^-----BEGIN PUBLIC KEY-----\n[A-Za-z0-9+/=\n]+\n-----END PUBLIC KEY-----$")
      message(FATAL_ERROR "The update key for ${target} is neither a PEM public key nor the path of a file "
                          "holding one (qor_sign keygen writes it): ${key}")
    endif()
    string(REPLACE "\n" "\\n" pem "${pem}\n")
  endif()
  set(QOR_UPDATE_KEY_TEXT "${pem}")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_key)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/update_key.h.in ${dir}/qor/update_key.h @ONLY)
  target_include_directories(${target} PRIVATE ${dir})
endfunction()
