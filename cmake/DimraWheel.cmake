# The Python package dimra as a wheel, dimra-<version>-py3-none-any.whl, in
# build/python/ (on Windows beside the programs, for the installer), with
# Dimra's version. Pure Python, so one wheel serves Linux and Windows.
#
# setuptools' own build backend makes it offline, run by Debian's python3
# (python3-setuptools, python3-wheel); the first python3 on PATH may be
# another interpreter without them. It works on a copy of the package, its
# pyproject.toml, README.md, LICENSE and the version in the build tree, so
# that its scratch files (build/, dimra.egg-info) stay out of the sources.

set(DIMRA_PYTHON /usr/bin/python3 CACHE FILEPATH
    "The Python whose setuptools and wheel make the Python package's wheel")
execute_process(COMMAND ${DIMRA_PYTHON} -I -c "import setuptools.build_meta, wheel"
    RESULT_VARIABLE wheel_tools OUTPUT_QUIET ERROR_QUIET)
if(NOT wheel_tools EQUAL 0)
    message(FATAL_ERROR "${DIMRA_PYTHON} cannot make the Python package's wheel: "
        "install python3-setuptools and python3-wheel (tools/install-deps.sh does)")
endif()

set(DIMRA_WHEEL_NAME dimra-${PROJECT_VERSION}-py3-none-any.whl)
if(WIN32)
    set(DIMRA_WHEEL ${PROJECT_BINARY_DIR}/${DIMRA_WHEEL_NAME})
else()
    set(DIMRA_WHEEL ${PROJECT_BINARY_DIR}/python/${DIMRA_WHEEL_NAME})
endif()

set(python_source ${PROJECT_SOURCE_DIR}/python)
set(wheel_tree ${PROJECT_BINARY_DIR}/python/tree)
file(GLOB python_modules CONFIGURE_DEPENDS ${python_source}/dimra/*.py)
# pyproject.toml reads the version from this file.
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/python/VERSION CONTENT "@PROJECT_VERSION@\n" @ONLY)
get_filename_component(wheel_dir ${DIMRA_WHEEL} DIRECTORY)
# A fresh tree each time: a module no longer in the sources leaves no copy
# in the next wheel. --quiet keeps the backend's progress out of the
# build's output; setuptools 66 warns about any [tool.setuptools] table (it
# calls the table beta), which says nothing about the package.
add_custom_command(OUTPUT ${DIMRA_WHEEL}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${wheel_tree}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${wheel_tree}/dimra ${wheel_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${python_modules} ${python_source}/dimra/py.typed ${wheel_tree}/dimra
    COMMAND ${CMAKE_COMMAND} -E copy ${python_source}/pyproject.toml ${PROJECT_SOURCE_DIR}/README.md
            ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/python/VERSION ${wheel_tree}
    COMMAND ${CMAKE_COMMAND} -E chdir ${wheel_tree}
            ${DIMRA_PYTHON} -I -W "ignore:Support for `[tool.setuptools]`" -c
            "import sys, setuptools.build_meta as backend; out, name = sys.argv[1:]; made = backend.build_wheel(out, {'--quiet': None}); made == name or sys.exit(f'made {made}, not {name}')"
            ${wheel_dir} ${DIMRA_WHEEL_NAME}
    DEPENDS ${python_modules} ${python_source}/dimra/py.typed ${python_source}/pyproject.toml ${PROJECT_SOURCE_DIR}/README.md
            ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/python/VERSION
    COMMENT "Making the Python package's wheel ${DIMRA_WHEEL_NAME}"
    VERBATIM)
add_custom_target(wheel ALL DEPENDS ${DIMRA_WHEEL})
