# The texts that name the product and its maker, in one place: the window title, the About box,
# the web button, the 1009 help text, the desktop entry and the Debian package all read them.
set(TESSALY_PRODUCT_NAME "Tessaly")
set(TESSALY_MAKER_NAME "Tessaly Labs")
set(TESSALY_WEB_ADDRESS "https://tessaly.example.org")
# The host name is the web address without its scheme.
string(REGEX REPLACE "^[A-Za-z][A-Za-z0-9+.-]*://" "" TESSALY_HOST_NAME "${TESSALY_WEB_ADDRESS}")
# The version the window's title shows; it is fixed text, independent of the package version.
set(TESSALY_TITLE_VERSION "1.2")
# The licence the sources are under (SPDX), named by both --version outputs and the About box.
set(TESSALY_LICENSE "Apache-2.0")
