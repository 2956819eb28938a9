# The setup program's Windows 11 path (SparsePackageTest.sh), with recording
# stand-ins for powershell.exe and certutil.exe, and a setup whose packages are
# signed by a release certificate (made here, for the test alone).
add_executable(recording_stand_in RecordingStandIn.cpp)
set_target_properties(recording_stand_in PROPERTIES OUTPUT_NAME recording-stand-in)
target_link_libraries(recording_stand_in PRIVATE quorvel_platform)
quorvel_use_wide_main(recording_stand_in)

set(release "${CMAKE_CURRENT_BINARY_DIR}/release-signed")
add_custom_command(
  OUTPUT "${release}/release.pfx"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${release}"
  COMMAND openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/O=Quorvel Test/CN=Quorvel Release Test"
          -addext extendedKeyUsage=codeSigning -keyout "${release}/key.pem" -out "${release}/cert.pem"
  COMMAND openssl pkcs12 -export -inkey "${release}/key.pem" -in "${release}/cert.pem"
          -passout pass:release-test -out "${release}/release.pfx"
  COMMENT "Making a release certificate for the setup test")
add_custom_command(
  OUTPUT "${release}/QuorvelContextMenu.msix" "${release}/QuorvelContextMenu-arm64.msix" "${release}/Signing.nsh"
  COMMAND "${CMAKE_COMMAND}" -E env "QUORVEL_SIGNING_PFX=${release}/release.pfx" QUORVEL_SIGNING_PASSWORD=release-test
          "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/package/make_package.py"
          --template "${CMAKE_SOURCE_DIR}/package/AppxManifest.xml.in" --version "${PROJECT_VERSION}"
          --clsid "${QUORVEL_COMMAND_CLSID}" --work "${release}" --out "x64=${release}/QuorvelContextMenu.msix"
          --out "arm64=${release}/QuorvelContextMenu-arm64.msix"
          --nsh "${release}/Signing.nsh" --cer "${release}/unused.cer"
  DEPENDS "${release}/release.pfx" "${CMAKE_SOURCE_DIR}/package/make_package.py" ${QUORVEL_SIGNING_DEPENDS}
          "${CMAKE_SOURCE_DIR}/package/pack_msix.py" "${CMAKE_SOURCE_DIR}/package/AppxManifest.xml.in"
  COMMENT "Signing the packages with the test's release certificate")
set(setup_release "${CMAKE_CURRENT_BINARY_DIR}/setup-release-x64.exe")
set(QUORVEL_SETUP_PACKAGE "${release}/QuorvelContextMenu.msix")
set(QUORVEL_SETUP_PACKAGE_ARM64 "${release}/QuorvelContextMenu-arm64.msix")
set(QUORVEL_SETUP_PACKAGE_SIGNING "${release}/Signing.nsh")
quorvel_add_setup(setup_release_fixture "${setup_release}" -DTARGET_AMD64 -DTEST_DETAILS_VARIABLE=QUORVEL_TEST_DETAILS
                  "-DDLL64=$<TARGET_FILE:quorvel>")
unset(QUORVEL_SETUP_PACKAGE)
unset(QUORVEL_SETUP_PACKAGE_ARM64)
unset(QUORVEL_SETUP_PACKAGE_SIGNING)

add_test(NAME ${QUORVEL_BUILD_NAME}.Setup.Windows11Package
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/SparsePackageTest.sh"
                 --source "${CMAKE_SOURCE_DIR}" --work "${CMAKE_CURRENT_BINARY_DIR}/run-windows11"
                 --setup "${QUORVEL_SETUP}" --setup-x64 "${setup_x64}" --setup-release "${setup_release}"
                 --package "${QUORVEL_PACKAGE}" --package-release "${release}/QuorvelContextMenu.msix"
                 --dev-cert "${QUORVEL_PACKAGE_DEV_CERT}" --stand-in "$<TARGET_FILE:recording_stand_in>")
# A prefix of its own: no lock on the build's prefix needed.
set_tests_properties(${QUORVEL_BUILD_NAME}.Setup.Windows11Package PROPERTIES TIMEOUT 1500)
