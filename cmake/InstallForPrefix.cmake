# Runs at install time, from the install rules in Install.cmake, which set
#   BRASKO_LAUNCHER_TEMPLATE  the launcher script template
#   BRASKO_DESKTOP_TEMPLATE   the desktop entry template
#   BRASKO_STAGING            where to write the finished files before installing them
#   BRASKO_APP_ID             the desktop entry's name without .desktop
#   BRASKO_BINDIR             the binary folder, relative to the prefix or absolute
#   BRASKO_DATADIR            the data folder, relative to the prefix or absolute
#   BRASKO_PROGRAMDIR         the program's own folder, relative to the prefix or absolute
# CMAKE_INSTALL_PREFIX is the prefix being installed to (--prefix, or the configured one);
# DESTDIR, when set, is only a staging root and stays out of both files.
foreach(kind BINDIR DATADIR PROGRAMDIR)
    if(IS_ABSOLUTE "${BRASKO_${kind}}")
        set(full_${kind} "${BRASKO_${kind}}")
    else()
        set(full_${kind} "${CMAKE_INSTALL_PREFIX}/${BRASKO_${kind}}")
    endif()
endforeach()

# The launcher enters the data folder, where the program reads everything relative to its
# working directory, and runs the program there. Both paths are single-quoted for the shell.
function(brasko_shell_quote variable path)
    string(REPLACE "'" "'\\''" path "${path}")
    set(${variable} "'${path}'" PARENT_SCOPE)
endfunction()
brasko_shell_quote(BRASKO_LAUNCHER_DATA "${full_DATADIR}/brasko")
brasko_shell_quote(BRASKO_LAUNCHER_PROGRAM "${full_PROGRAMDIR}/brasko")
configure_file("${BRASKO_LAUNCHER_TEMPLATE}" "${BRASKO_STAGING}/launcher/brasko" @ONLY)
file(INSTALL DESTINATION "${full_BINDIR}" TYPE PROGRAM
    PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                WORLD_EXECUTE
    FILES "${BRASKO_STAGING}/launcher/brasko")

# Exec= names the launcher by its absolute path so that the entry also works for a prefix
# whose bin/ is not on PATH.
set(BRASKO_DESKTOP_EXEC "${full_BINDIR}/brasko")
if(BRASKO_DESKTOP_EXEC MATCHES "[ \t]")
    # A path with blanks is one argument only when quoted.
    set(BRASKO_DESKTOP_EXEC "\"${BRASKO_DESKTOP_EXEC}\"")
endif()
configure_file("${BRASKO_DESKTOP_TEMPLATE}" "${BRASKO_STAGING}/desktop-entry/${BRASKO_APP_ID}.desktop"
    @ONLY)
file(INSTALL DESTINATION "${full_DATADIR}/applications" TYPE FILE
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
    FILES "${BRASKO_STAGING}/desktop-entry/${BRASKO_APP_ID}.desktop")
