# OpenCC's current data (configurations and compiled dictionaries, Apache-2.0), from the npm
# package `opencc`, pinned by version and by the tarball's SHA-512. The build fetches the tarball
# into TESSALY_DOWNLOAD_DIR once (npm pack, from npm's cache when it has it); from then on no
# network is needed. Nothing of it is committed.
set(TESSALY_OPENCC_DATA_VERSION 1.4.2 CACHE INTERNAL "")
set(TESSALY_OPENCC_DATA_SHA512
    7c0a3c189cb45e1172c3dcc8b041e611528bfaa2bca9bc3485c0a3a8a379727d9403b14f394e9bd77c69aa94947fc98b34b84132621566ee89f9f12327629cc9
    CACHE INTERNAL "")

if(DEFINED ENV{TESSALY_DOWNLOAD_DIR} AND NOT DEFINED TESSALY_DOWNLOAD_DIR)
  set(TESSALY_DOWNLOAD_DIR "$ENV{TESSALY_DOWNLOAD_DIR}")
endif()
set(TESSALY_DOWNLOAD_DIR "${PROJECT_BINARY_DIR}/downloads" CACHE PATH
    "Where the build keeps what it fetches (opencc-${TESSALY_OPENCC_DATA_VERSION}.tgz)")
# Where the programs of the build tree find the data; installed, it is DATADIR/tessaly/opencc.
set(TESSALY_BUILD_DATA_DIR "${PROJECT_BINARY_DIR}/share/tessaly/opencc" CACHE INTERNAL "")
set(stamp "${PROJECT_BINARY_DIR}/opencc-data-${TESSALY_OPENCC_DATA_VERSION}.stamp")

add_custom_command(
  OUTPUT "${stamp}"
  COMMAND "${CMAKE_COMMAND}" -DVERSION=${TESSALY_OPENCC_DATA_VERSION}
          -DSHA512=${TESSALY_OPENCC_DATA_SHA512} "-DDOWNLOADS=${TESSALY_DOWNLOAD_DIR}"
          "-DDESTINATION=${TESSALY_BUILD_DATA_DIR}" "-DSTAMP=${stamp}"
          -P "${PROJECT_SOURCE_DIR}/cmake/fetch-opencc-data.cmake"
  DEPENDS "${PROJECT_SOURCE_DIR}/cmake/fetch-opencc-data.cmake"
  COMMENT "OpenCC ${TESSALY_OPENCC_DATA_VERSION}'s data, checked against its SHA-512"
  VERBATIM)
add_custom_target(tessaly_opencc_data ALL DEPENDS "${stamp}")

install(DIRECTORY "${TESSALY_BUILD_DATA_DIR}/" DESTINATION "${CMAKE_INSTALL_DATADIR}/tessaly/opencc")
