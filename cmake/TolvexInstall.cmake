# The installed layout under the prefix:
#   bin/tolvex                         the command (finds its library through
#                                      its run path, $ORIGIN/../lib)
#   lib/libtolvex32.so                 the engine library (Windows: bin/tolvex32.dll)
#   include/tolvex32.h                 the public C interface
#   share/man/man1/tolvex.1            made from "tolvex --help"
#   share/man/man3/tolvex32.3          the C interface
#   share/doc/tolvex/examples/         example jobs, their data script, and a
#                                      daily run (systemd user timer, cron line)
#                                      that name the installed command's path
# "cpack" in a Linux build folder makes a Debian package of the same layout.
install(TARGETS tolvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tolvex32
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tolvex32.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/tolvex32.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)
if(TOLVEX_MAN_PAGE)
  install(FILES ${TOLVEX_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/examples/backup.job ${PROJECT_SOURCE_DIR}/examples/two-way.job
              ${PROJECT_SOURCE_DIR}/examples/tolvex-daily.timer
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# The daily run's service and cron line name the command where it is
# installed: the prefix is known only when installing ("cmake --install
# --prefix"), so they are filled in then. A package is laid out with DESTDIR
# (below), so its files name the command where the package puts it.
install(CODE "
  set(TOLVEX_COMMAND \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tolvex\")
  foreach(unit tolvex-daily.service crontab)
    configure_file(\"${PROJECT_SOURCE_DIR}/examples/\${unit}.in\"
                   \"${CMAKE_BINARY_DIR}/examples-installed/\${unit}\" @ONLY)
  endforeach()
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}/examples\" TYPE FILE
       FILES \"${CMAKE_BINARY_DIR}/examples-installed/tolvex-daily.service\"
             \"${CMAKE_BINARY_DIR}/examples-installed/crontab\")
")
install(PROGRAMS ${PROJECT_SOURCE_DIR}/examples/make-example.sh
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME tolvex)
  set(CPACK_PACKAGE_VENDOR "Tolvex")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "backup and synchronisation engine and its command")
  set(CPACK_PACKAGE_DESCRIPTION "The tolvex command runs backup and synchronisation jobs \
described in job files with the Tolvex engine library, which it loads at run time.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # Installed with DESTDIR, so that CMAKE_INSTALL_PREFIX is /usr while the
  # package is laid out: the daily run's files name /usr/bin/tolvex.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tolvex maintainers <maintainers@tolvex.example>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # The package's dependencies come from the libraries the binaries link.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  include(CPack)
endif()
