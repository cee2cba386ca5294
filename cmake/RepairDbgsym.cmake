# SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
# Run by cpack after the packages are built (CPACK_POST_BUILD_SCRIPTS). CMake
# 3.25 writes the debug-symbol package's md5sums with build-machine paths, and
# leaves it without a copyright file; rebuild it as debhelper would: relative
# md5sums, 0644 .debug files, and its doc folder a link to the program's.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "-dbgsym_.*\\.ddeb$")
        continue()
    endif()
    set(root ${CPACK_TOPLEVEL_DIRECTORY}/dbgsym-root)
    file(REMOVE_RECURSE ${root})
    execute_process(COMMAND dpkg-deb --raw-extract ${package} ${root} COMMAND_ERROR_IS_FATAL ANY)

    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/usr/*)
    list(SORT files)
    set(md5sums "")
    foreach(file IN LISTS files)
        file(CHMOD ${root}/${file} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
        file(MD5 ${root}/${file} sum)
        string(APPEND md5sums "${sum}  ${file}\n")
    endforeach()
    file(WRITE ${root}/DEBIAN/md5sums "${md5sums}")

    file(MAKE_DIRECTORY ${root}/usr/share/doc)
    file(CREATE_LINK ${CPACK_PACKAGE_NAME} ${root}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym
        SYMBOLIC)
    # xz at its lowest level: 15% larger than dpkg-deb's default (-z6) and six
    # times faster, which every package build and its test pays twice.
    execute_process(COMMAND dpkg-deb -Zxz -z1 --root-owner-group --build ${root} ${package}
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${root})
endforeach()
