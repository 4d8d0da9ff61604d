# The Debian package of what the project installs (make package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvanta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${CORVANTA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "teleprompter: write, format and prompt scripts")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CORVANTA_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CORVANTA_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Looked up at run time, so no library names them: the word list the spelling check uses
# and the faces the scripts are set in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "hunspell-en-us, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis comes from the summary; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Corvanta is a teleprompter for studios, schools, churches and video makers.
Write or load a script in its rich-text editor, format it, place jump
markers, check its spelling, then prompt: the window is stripped to the
script, which scrolls past a cue arrow at a speed set live from the number
keys or a hand controller on a serial port.")
include(CPack)
