# Manual pages. wrendle_add_manual_page(<name>.<section>.in) fills in the
# product's variables (@PROJECT_VERSION@, @WRENDLE_PRODUCT_NAME@, ...), compresses
# the page as Debian wants it (gzip -9n: no file name or time stamp inside, so
# the package is reproducible) and installs it into <prefix>/share/man/man<section>.

include(GNUInstallDirs)

function(wrendle_add_manual_page source)
    get_filename_component(page "${source}" NAME_WLE) # wrendle-host.1
    string(REGEX MATCH "[1-9]$" section "${page}")

    if(NOT section)
        message(FATAL_ERROR "${source}: a manual page's name ends in its section (name.1.in)")
    endif()

    set(configured "${PROJECT_BINARY_DIR}/man/${page}")
    configure_file("${source}" "${configured}" @ONLY)

    add_custom_command(OUTPUT "${configured}.gz"
        COMMAND sh -c "gzip -9n < '${configured}' > '${configured}.gz'"
        DEPENDS "${configured}"
        VERBATIM)
    string(MAKE_C_IDENTIFIER "manual_page_${page}" target)
    add_custom_target(${target} ALL DEPENDS "${configured}.gz")
    install(FILES "${configured}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man${section}")
endfunction()
