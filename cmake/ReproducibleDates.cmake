# SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
# Read by cpack before it builds the packages (CPACK_PROJECT_CONFIG_FILE).
# Every date in them, the files' and the archives' own, comes from
# SOURCE_DATE_EPOCH, so the same tree gives byte-identical packages: the
# builder's value when given, else the last commit's time, else (a tree
# outside git) the release date.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git -C ${CPACK_CVDIALER_SOURCE_DIR} log -1 --format=%ct
        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE failed ERROR_QUIET)
    if(failed OR NOT epoch MATCHES "^[0-9]+$")
        set(epoch ${CPACK_CVDIALER_RELEASE_EPOCH})
    endif()
    # Seen by cpack's own archives and by dpkg-deb in RepairDbgsym.cmake.
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
