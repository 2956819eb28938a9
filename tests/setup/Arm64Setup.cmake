# The setup program on ARM64 Windows (Arm64SetupTest.sh): fixtures of the
# setup script that take the native machine from QUORVEL_TEST_NATIVE_MACHINE
# where it is set (Wine reports its own alone), as a 64-bit program tested
# here and as the shipped 32-bit program tested by the 32-bit build
# (windows32.Setup.ShippedProgramOnArm64). Needs SparsePackage.cmake's
# recording stand-in.
set(machine_hook -DTEST_NATIVE_MACHINE_VARIABLE=QUORVEL_TEST_NATIVE_MACHINE)
set(setup_arm64_x64 "${CMAKE_CURRENT_BINARY_DIR}/setup-arm64-x64.exe")
set(setup_arm64 "${CMAKE_CURRENT_BINARY_DIR}/setup-arm64.exe")
quorvel_add_setup(setup_arm64_x64_fixture "${setup_arm64_x64}" -DTARGET_AMD64 ${machine_hook}
                  "-DDLL64=$<TARGET_FILE:quorvel>")
quorvel_add_setup(setup_arm64_fixture "${setup_arm64}" ${machine_hook} "-DDLL64=$<TARGET_FILE:quorvel>"
                  "-DDLL32=${QUORVEL_DLL32}")
add_custom_command(OUTPUT "${setup_arm64}" APPEND DEPENDS "${QUORVEL_DLL32}")

add_test(NAME ${QUORVEL_BUILD_NAME}.Setup.Arm64
         COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/Arm64SetupTest.sh"
                 --source "${CMAKE_SOURCE_DIR}" --work "${CMAKE_CURRENT_BINARY_DIR}/run-arm64"
                 --setup "${setup_arm64_x64}" --dll64 "$<TARGET_FILE:quorvel>" --dllarm64 "${QUORVEL_DLLARM64}"
                 --package "${QUORVEL_PACKAGE}" --package-arm64 "${QUORVEL_PACKAGE_ARM64}"
                 --dev-cert "${QUORVEL_PACKAGE_DEV_CERT}" --stand-in "$<TARGET_FILE:recording_stand_in>")
# A prefix of its own: no lock on the build's prefix needed.
set_tests_properties(${QUORVEL_BUILD_NAME}.Setup.Arm64 PROPERTIES TIMEOUT 900)
