# The vendor's public key for signed updates, built into the updater.
#
#   qor_update_key(<target> <key>)
#
# <key> is the key's PEM text or the path of its file (as `qor_sign keygen` writes it); empty
# builds the updater without a key, and then it never asks for a signature. The target gets a
# header "qor/update_key.h" that defines QOR_UPDATE_PUBLIC_KEY_PEM (empty text without a key).
# A key is parsed here already, by the updater's own parser built for the build machine, so that
# a key of another type or curve (RSA, P-384), which would refuse every update in the field,
# fails the configure instead; its SHA-256 fingerprint (of the DER SubjectPublicKeyInfo, as
# `openssl pkey -pubin -outform DER | sha256sum` gives it) is printed.

# The parser as a program of the build machine: a cross build cannot run what it compiles.
function(qor_update_key_checker out)
  set(dir ${CMAKE_BINARY_DIR}/update_key_check)
  set(exe ${dir}/update_key_check)
  set(sources ${PROJECT_SOURCE_DIR}/cmake/update_key_check.cpp ${PROJECT_SOURCE_DIR}/core/signature_rules.cpp)
  set(stale FALSE)
  foreach(f ${sources} ${PROJECT_SOURCE_DIR}/core/signature_rules.h)
    if(NOT EXISTS ${exe} OR f IS_NEWER_THAN ${exe})
      set(stale TRUE)
    endif()
  endforeach()
  if(stale)
    find_program(QOR_HOST_CXX NAMES g++ c++ clang++ NO_CMAKE_FIND_ROOT_PATH)
    if(NOT QOR_HOST_CXX)
      message(FATAL_ERROR "No C++ compiler of the build machine (g++) to check the update key with")
    endif()
    file(MAKE_DIRECTORY ${dir})
    execute_process(COMMAND ${QOR_HOST_CXX} -std=c++17 -O1 -I${PROJECT_SOURCE_DIR} ${sources} -o ${exe}
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "The update key checker did not build with ${QOR_HOST_CXX}:\n${output}")
    endif()
  endif()
  set(${out} ${exe} PARENT_SCOPE)
endfunction()

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
    qor_update_key_checker(checker)
    set(dir ${CMAKE_BINARY_DIR}/update_key_check)
    file(WRITE ${dir}/${target}.pem "${pem}\n")
    execute_process(COMMAND ${checker} ${dir}/${target}.pem ${dir}/${target}.der RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "The update key for ${target} is not an ECDSA P-256 public key, which is the only kind the "
                          "updater takes (an RSA or P-384 key would refuse every update): ${key}")
    endif()
    file(SHA256 ${dir}/${target}.der fingerprint)
    message(STATUS "Update key of ${target}: ECDSA P-256, SHA-256 fingerprint ${fingerprint}")
    string(REPLACE "\n" "\\n" pem "${pem}\n")
  endif()
  set(QOR_UPDATE_KEY_TEXT "${pem}")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_key)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/update_key.h.in ${dir}/qor/update_key.h @ONLY)
  target_include_directories(${target} PRIVATE ${dir})
endfunction()
