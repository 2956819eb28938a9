# The build's one signing step (sign_pe.py): every PE file the product ships
# is signed with Authenticode where it is made, with the certificate that
# signing.py chooses: the release certificate named by QUORVEL_SIGNING_PFX
# in the build's environment, else the development certificate of the build
# root (one for all its builds, and the one the Windows 11 packages carry).
#
#   quorvel_sign_binary(target)   signs the target's file in place after each
#                                 link, and links again when the choice of
#                                 certificate changes
#   QUORVEL_SIGN_PE_COMMAND       the command that signs one file, to which the
#                                 file is appended (makensis: see setup/)
#   QUORVEL_SIGNING_DEPENDS       what a signed file depends on beyond its own
#                                 inputs
#   QUORVEL_SIGNING_FOLDER        where the development certificate lives
set(QUORVEL_SIGNING_FOLDER "${CMAKE_BINARY_DIR}/../signing" CACHE PATH
    "the development certificate's folder, shared by the builds of one build root")
get_filename_component(QUORVEL_SIGNING_FOLDER "${QUORVEL_SIGNING_FOLDER}" ABSOLUTE)

set(QUORVEL_SIGN_PE "${CMAKE_SOURCE_DIR}/signing/sign_pe.py")
set(QUORVEL_SIGN_PE_COMMAND "${Python3_EXECUTABLE}" "${QUORVEL_SIGN_PE}"
    --development-folder "${QUORVEL_SIGNING_FOLDER}")

# The certificate is chosen from the environment when a file is signed; a file
# is signed again when another certificate file (or none) is named at the next
# configuration (scripts/build.sh configures every time), or when the file
# named changes.
set(signing_source "$ENV{QUORVEL_SIGNING_PFX}")
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/signing-source.txt" CONTENT "${signing_source}\n")
set(QUORVEL_SIGNING_DEPENDS "${CMAKE_BINARY_DIR}/signing-source.txt" "${QUORVEL_SIGN_PE}"
    "${CMAKE_SOURCE_DIR}/signing/signing.py")
if(signing_source)
  list(APPEND QUORVEL_SIGNING_DEPENDS "${signing_source}")
endif()

function(quorvel_sign_binary target)
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${QUORVEL_SIGN_PE_COMMAND} "$<TARGET_FILE:${target}>"
                     VERBATIM)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${QUORVEL_SIGNING_DEPENDS})
endfunction()
