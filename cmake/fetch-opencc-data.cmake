# cmake -DVERSION= -DSHA512= -DDOWNLOADS= -DDESTINATION= -DSTAMP= -P fetch-opencc-data.cmake
# The npm package opencc@VERSION into DOWNLOADS (kept there: a later build needs no network),
# its SHA-512 checked, its configurations and compiled dictionaries and its licence copied into
# DESTINATION.
set(tarball "${DOWNLOADS}/opencc-${VERSION}.tgz")
file(MAKE_DIRECTORY "${DOWNLOADS}")
if(NOT EXISTS "${tarball}")
  find_program(NPM npm)
  if(NOT NPM)
    message(FATAL_ERROR "npm is needed once to fetch opencc@${VERSION} (scripts/install-deps "
                        "installs it), or put opencc-${VERSION}.tgz into ${DOWNLOADS}")
  endif()
  execute_process(COMMAND "${NPM}" pack "opencc@${VERSION}" --prefer-offline --silent
                          --pack-destination "${DOWNLOADS}"
                  RESULT_VARIABLE failed)
  if(failed OR NOT EXISTS "${tarball}")
    message(FATAL_ERROR "npm pack opencc@${VERSION} failed; with no registry at hand, put "
                        "opencc-${VERSION}.tgz into ${DOWNLOADS}")
  endif()
endif()
file(SHA512 "${tarball}" actual)
if(NOT actual STREQUAL SHA512)
  file(REMOVE "${tarball}")
  message(FATAL_ERROR "opencc-${VERSION}.tgz has SHA-512 ${actual}, not the pinned ${SHA512}; "
                      "removed")
endif()
set(unpacked "${DOWNLOADS}/opencc-${VERSION}")
file(REMOVE_RECURSE "${unpacked}" "${DESTINATION}")
file(MAKE_DIRECTORY "${unpacked}" "${DESTINATION}")
file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${unpacked}"
     PATTERNS package/prebuilds/assets package/LICENSE)
file(GLOB data "${unpacked}/package/prebuilds/assets/*.json"
     "${unpacked}/package/prebuilds/assets/*.ocd2")
list(LENGTH data count)
if(count LESS 38)
  message(FATAL_ERROR "opencc-${VERSION}.tgz holds ${count} configurations and dictionaries, "
                      "fewer than the 16 and 22 expected")
endif()
file(COPY ${data} "${unpacked}/package/LICENSE" DESTINATION "${DESTINATION}")
file(WRITE "${DESTINATION}/VERSION" "${VERSION}\n")
file(REMOVE_RECURSE "${unpacked}")
file(TOUCH "${STAMP}")
