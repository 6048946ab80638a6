# The Windows installer, dimra-setup-<version>.exe, made by NSIS from the
# static dimra.exe, dimractl.exe and dimra-mqtt.exe, the bridge's example
# configuration and the Python package's wheel:
#   cmake --build build-windows --target setup      (tools/build-windows.sh)

find_program(DIMRA_MAKENSIS makensis)
if(NOT DIMRA_MAKENSIS OR NOT TARGET dimra-mqtt)
    message(STATUS "makensis (Debian's nsis) or dimra-mqtt is missing: no installer target")
    return()
endif()

file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) [^\n]*" DIMRA_COPYRIGHT "${license}")
set(DIMRA_SETUP ${PROJECT_BINARY_DIR}/dimra-setup-${PROJECT_VERSION}.exe)
# @...@ first, then the programs' paths, which only the build knows.
configure_file(${CMAKE_CURRENT_LIST_DIR}/dimra-setup.nsi.in ${PROJECT_BINARY_DIR}/dimra-setup.nsi.in @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/dimra-setup.nsi INPUT ${PROJECT_BINARY_DIR}/dimra-setup.nsi.in)

add_custom_command(OUTPUT ${DIMRA_SETUP}
    COMMAND ${DIMRA_MAKENSIS} -V2 -NOCD ${PROJECT_BINARY_DIR}/dimra-setup.nsi
    DEPENDS ${PROJECT_BINARY_DIR}/dimra-setup.nsi dimra dimractl dimra-mqtt dimra_icon ${PROJECT_SOURCE_DIR}/LICENSE
            ${PROJECT_SOURCE_DIR}/bridge/mqtt-windows.conf ${DIMRA_WHEEL}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    COMMENT "Making the installer dimra-setup-${PROJECT_VERSION}.exe"
    VERBATIM)
add_custom_target(setup DEPENDS ${DIMRA_SETUP})
