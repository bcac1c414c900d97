# The maker's addresses, in one place; a distributor may set real hosts at configure time.
set(RASTELLO_MAKER_SITE "https://www.tessaly.example/" CACHE STRING "maker's web site")
set(RASTELLO_HOME_PAGE "https://www.tessaly.example/rastello/" CACHE STRING "product page")
set(RASTELLO_UPDATE_FILE "http://www.tessaly.example/files/rastello.dat" CACHE STRING "update file")
set(RASTELLO_FIND_PAGE "https://www.tessaly.example/find/" CACHE STRING "converter search page")
set(RASTELLO_UNINSTALL_PAGE "https://www.tessaly.example/rastello/uninstall.html" CACHE STRING "uninstall page")
set(RASTELLO_SUPPORT_EMAIL "support@tessaly.example" CACHE STRING "support e-mail")
set(RASTELLO_NOTICE "© 2026 Tessaly Software. All rights reserved." CACHE STRING "notice line")
configure_file(${CMAKE_SOURCE_DIR}/cmake/maker.h.in ${CMAKE_BINARY_DIR}/generated/maker.h @ONLY)
