# Installing and packaging. The installed tree keeps the layout the host finds its parts in,
# relative to its own file, so that it works wherever it is put:
#   bin/tunewell
#   lib/tunewell/libtunewell.so       (../lib/tunewell from bin/; not the multiarch folder, whose
#                                      name would differ between machines)
#   share/tunewell/site/              (../share/tunewell/site from bin/)
#   share/man/man1/tunewell.1.gz, share/bash-completion/completions/tunewell,
#   share/doc/tunewell/               (README, the plug-in contract, the contributor's guide,
#                                      copyright, changelog, the --json schema)
# `cmake --install build --prefix DIR` installs it; CPack makes the Debian package from it.

# Installing (and CPack) takes what is built rather than building everything first, so that
# making the package does not build the tests; build the installed targets before.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(tunewell_doc share/doc/tunewell)
set(tunewell_readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

install(TARGETS tunewell RUNTIME DESTINATION bin)
# A plug-in is loaded, never run: no executable bit.
install(TARGETS tunewell_plugin LIBRARY DESTINATION lib/tunewell PERMISSIONS ${tunewell_readable})

# The bundled site: what the server reads at run time, not its corpus builder or its tests.
install(PROGRAMS site/server.py DESTINATION share/tunewell/site)
install(FILES site/pages.py site/search.py site/corpus.json site/corpus.tsv
        DESTINATION share/tunewell/site)
install(DIRECTORY site/static site/templates DESTINATION share/tunewell/site)

# Debian wants the manual page and the changelog compressed, reproducibly (no name, no time).
set(tunewell_changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
configure_file(${PROJECT_SOURCE_DIR}/cmake/changelog.in ${tunewell_changelog} @ONLY)
set(tunewell_gzipped)
foreach(pair "host/tunewell.1;tunewell.1.gz" "${tunewell_changelog};changelog.gz")
  list(GET pair 0 source)
  list(GET pair 1 target)
  get_filename_component(source ${source} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/${target}
                     COMMAND gzip -9 -n -c ${source} > ${PROJECT_BINARY_DIR}/packaging/${target}
                     DEPENDS ${source} VERBATIM)
  list(APPEND tunewell_gzipped ${PROJECT_BINARY_DIR}/packaging/${target})
endforeach()
add_custom_target(tunewell_docs ALL DEPENDS ${tunewell_gzipped})

install(FILES ${PROJECT_BINARY_DIR}/packaging/tunewell.1.gz DESTINATION share/man/man1)
install(FILES host/tunewell-completion.bash DESTINATION share/bash-completion/completions
        RENAME tunewell)
install(FILES README.md cmake/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
              host/output/tunewell.schema.json DESTINATION ${tunewell_doc})
# Beside the README as in the source tree, so that its links hold.
install(FILES docs/plugin-contract.md docs/contributing.md DESTINATION ${tunewell_doc}/docs)

# The Debian package: scripts/package runs CPack in build/.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunewell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tunewell developers <dev@tunewell.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lyrics search plug-in for music taggers, with a command-line host")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_OUTPUT_FILE_PREFIX "")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tunewell.example/plugin")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries the binaries link, as dpkg-shlibdeps finds them; python3 runs the bundled site.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS python3)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description; CPack puts the summary above it and indents it as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tunewell is a lyrics search plug-in (libtunewell.so) that a music-tagging
application loads to find a song's lyrics on a lyrics web site: it finds the
artist's page, lists the artist's songs, finds one song by artist and title,
and fetches its lyrics as plain text.

This package holds the plug-in; the tunewell command, which loads the plug-in
as a tagging application does and runs its searches from the command line;
and a small local copy of a lyrics site, on which the command tunewell demo
shows it working without internet.")
include(CPack)
