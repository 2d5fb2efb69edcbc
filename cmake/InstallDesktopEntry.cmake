# Runs at install time, from the install rules in Install.cmake, which set
#   BRASKO_DESKTOP_TEMPLATE  the desktop entry template
#   BRASKO_DESKTOP_FILE      where to write the finished entry before installing it
#   BRASKO_BINDIR            the binary folder, relative to the prefix or absolute
#   BRASKO_DATADIR           the data folder, relative to the prefix or absolute
# CMAKE_INSTALL_PREFIX is the prefix being installed to (--prefix, or the configured one);
# DESTDIR, when set, is only a staging root and stays out of the entry.
foreach(kind BINDIR DATADIR)
    if(IS_ABSOLUTE "${BRASKO_${kind}}")
        set(full_${kind} "${BRASKO_${kind}}")
    else()
        set(full_${kind} "${CMAKE_INSTALL_PREFIX}/${BRASKO_${kind}}")
    endif()
endforeach()

# The program reads everything relative to its working directory: Path= is the data
# folder. Exec= names the installed binary by its absolute path so that the entry also
# works for a prefix whose bin/ is not on PATH.
set(BRASKO_DESKTOP_PATH "${full_DATADIR}/brasko")
set(BRASKO_DESKTOP_EXEC "${full_BINDIR}/brasko")
if(BRASKO_DESKTOP_EXEC MATCHES "[ \t]")
    # A path with blanks is one argument only when quoted.
    set(BRASKO_DESKTOP_EXEC "\"${BRASKO_DESKTOP_EXEC}\"")
endif()
configure_file("${BRASKO_DESKTOP_TEMPLATE}" "${BRASKO_DESKTOP_FILE}" @ONLY)

file(INSTALL DESTINATION "${full_DATADIR}/applications" TYPE FILE
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
    FILES "${BRASKO_DESKTOP_FILE}")
