# Install rules of the Linux programs, in two components that become the two Debian packages:
#   tool:    quillomar and the self-decrypting stub qxvsd (beside it, where quillomar looks for
#            it), their man pages and shell completions;
#   desktop: quillomar-gui and desktop/'s files (the file managers' menus, the opener, icons).
# Conventions that pick up man pages and completions as they appear in the tree:
#   docs/man/NAME.N           a man page of section N (1-9), installed compressed;
#   cli/completions/NAME.bash bash, share/bash-completion/completions/NAME;
#   cli/completions/_NAME     zsh (or cli/completions/NAME.zsh), share/zsh/vendor-completions/_NAME;
#   cli/completions/NAME.fish fish, share/fish/vendor_completions.d/NAME.fish.
# A man page or completion made at build time is installed with qxv_install_man_page() or
# qxv_install_completion() from where it is made.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS quillomar qxvsd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
if(TARGET quillomar-gui)
    # quillomar-gui finds the stub beside it as well: both are in the same folder.
    install(TARGETS quillomar-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
endif()

# Compressed as Debian wants them (gzip -9n: no name or time inside, the same bytes each build).
add_custom_target(qxv_man_pages ALL)
function(qxv_install_man_page page)
    get_filename_component(name ${page} NAME)
    string(REGEX MATCH "[1-9]$" section ${name})
    set(compressed ${CMAKE_BINARY_DIR}/man/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9n -c ${page} > ${compressed}
        DEPENDS ${page} VERBATIM)
    add_custom_target(qxv_man_${name} DEPENDS ${compressed})
    add_dependencies(qxv_man_pages qxv_man_${name})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT tool)
endfunction()

# SHELL is bash, zsh or fish; NAME the command it completes.
function(qxv_install_completion shell file name)
    if(shell STREQUAL "bash")
        install(FILES ${file} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
                RENAME ${name} COMPONENT tool)
    elseif(shell STREQUAL "zsh")
        install(FILES ${file} DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions
                RENAME _${name} COMPONENT tool)
    elseif(shell STREQUAL "fish")
        install(FILES ${file} DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d
                RENAME ${name}.fish COMPONENT tool)
    endif()
endfunction()

file(GLOB QXV_MAN_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/*.[1-9])
foreach(page ${QXV_MAN_PAGES})
    qxv_install_man_page(${page})
endforeach()
file(GLOB QXV_COMPLETIONS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cli/completions/*)
foreach(file ${QXV_COMPLETIONS})
    get_filename_component(name ${file} NAME)
    if(name MATCHES "^(.+)\\.(bash|zsh|fish)$")
        qxv_install_completion(${CMAKE_MATCH_2} ${file} ${CMAKE_MATCH_1})
    elseif(name MATCHES "^_(.+)$")
        qxv_install_completion(zsh ${file} ${CMAKE_MATCH_1})
    endif()
endforeach()

# Each package's copyright and changelog, as Debian's policy asks.
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
    COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/debian/changelog > ${CMAKE_BINARY_DIR}/debian/changelog.gz
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog VERBATIM)
add_custom_target(qxv_debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
foreach(component tool desktop)
    if(component STREQUAL "tool")
        set(package quillomar)
    else()
        set(package quillomar-${component})
    endif()
    install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()
# The stub carries its C and C++ runtime on purpose: recipients run it on any Linux.
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME quillomar COMPONENT tool)
