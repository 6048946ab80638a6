# What a system-wide install holds besides the window (app/) and its desktop
# entry, icons and AppStream file (res/): the command-line programs, their
# manual pages and bash completions, dimra-mqtt's systemd unit and example
# configuration, and the Python package dimra.

install(TARGETS dimractl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(UNIX)
    install(TARGETS dimra-board RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/dimractl ${PROJECT_SOURCE_DIR}/tools/completion/dimra-board
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

if(TARGET dimra-mqtt)
    install(TARGETS dimra-mqtt RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # The unit names the program and its configuration where this install
    # puts them; it is not enabled by installing.
    set(DIMRA_SYSTEMD_UNITDIR lib/systemd/system CACHE STRING
        "Where dimra-mqtt's systemd unit goes, relative to the install prefix")
    configure_file(${PROJECT_SOURCE_DIR}/bridge/dimra-mqtt.service ${PROJECT_BINARY_DIR}/dimra-mqtt.service @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/dimra-mqtt.service DESTINATION ${DIMRA_SYSTEMD_UNITDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/bridge/mqtt.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dimra/examples)
    install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/dimra-mqtt
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()

# dimra_install_gzipped(<file> <destination>): installs <file> compressed, as
# Debian keeps manual pages and changelogs. gzip -n leaves out the name and
# time, so that two builds of one source give the same package.
find_program(DIMRA_GZIP gzip REQUIRED)
function(dimra_install_gzipped file destination)
    get_filename_component(name ${file} NAME)
    set(compressed ${PROJECT_BINARY_DIR}/gzipped/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/gzipped
        COMMAND ${DIMRA_GZIP} -9nc ${file} > ${compressed}
        DEPENDS ${file}
        VERBATIM)
    string(MAKE_C_IDENTIFIER ${name} id)
    add_custom_target(gzip_${id} ALL DEPENDS ${compressed})
    install(FILES ${compressed} DESTINATION ${destination})
endfunction()

foreach(page dimra.1 dimra-board.1 dimractl.1 dimra-mqtt.1)
    dimra_install_gzipped(${PROJECT_SOURCE_DIR}/docs/man/${page} ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The Python package, pure Python: where Debian's python3 finds modules that
# do not belong to one Python version. It goes in as its wheel holds it, with
# its .dist-info, so that pip and importlib.metadata know it and its version.
set(DIMRA_PYTHON_DIR lib/python3/dist-packages CACHE STRING
    "Where the Python package dimra goes, relative to the install prefix")
set(wheel_contents ${PROJECT_BINARY_DIR}/python/dist-packages)
# Unpacked files keep the times the wheel gives them, older than the wheel
# itself: RECORD is touched so that the next build sees the unpacking done.
set(wheel_record ${wheel_contents}/dimra-${PROJECT_VERSION}.dist-info/RECORD)
add_custom_command(OUTPUT ${wheel_record}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${wheel_contents}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${wheel_contents}
    COMMAND ${CMAKE_COMMAND} -E chdir ${wheel_contents} ${CMAKE_COMMAND} -E tar xf ${DIMRA_WHEEL}
    COMMAND ${CMAKE_COMMAND} -E touch ${wheel_record}
    DEPENDS ${DIMRA_WHEEL}
    COMMENT "Unpacking ${DIMRA_WHEEL_NAME} for the install"
    VERBATIM)
add_custom_target(wheel_contents ALL DEPENDS ${wheel_record})
# The licence is the package's copyright file, as Debian keeps it.
install(DIRECTORY ${wheel_contents}/ DESTINATION ${DIMRA_PYTHON_DIR} PATTERN LICENSE EXCLUDE)
