# The installed layout (cmake --install build --prefix <prefix>):
#   bin/quillon
#   share/quillon/            lang.ini (i18n/), DtcLookup/OBDII.txt and manual/ (content/)
#   share/applications/       the desktop entry
#   share/icons/hicolor/      the icon at the usual sizes and as SVG
#   share/metainfo/           the software-centre description
#   lib/udev/rules.d/         the ScanTool's device rule
# The program recognises this layout at run time (platform/paths.h), so the data folder is
# fixed as share/quillon whatever CMAKE_INSTALL_DATADIR says.
set(QUILLON_APP_ID org.quillon.Quillon)
set(QUILLON_PROJECT_URL "https://quillon.example/" CACHE STRING
    "Home page named in the software-centre description; its docs/ holds the screenshots")

set(desktop ${PROJECT_SOURCE_DIR}/resources/desktop)

install(FILES ${desktop}/${QUILLON_APP_ID}.desktop DESTINATION share/applications)

file(GLOB icon_pngs ${desktop}/icons/*.png)
foreach(png ${icon_pngs})
  get_filename_component(size ${png} NAME_WE)
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}/apps RENAME ${QUILLON_APP_ID}.png)
endforeach()
install(FILES ${desktop}/${QUILLON_APP_ID}.svg DESTINATION share/icons/hicolor/scalable/apps)

configure_file(${desktop}/${QUILLON_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${QUILLON_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${QUILLON_APP_ID}.metainfo.xml DESTINATION share/metainfo)

# Read by udev only under /usr/lib or /etc; see the README for other prefixes.
install(FILES ${desktop}/60-quillon-scantool.rules DESTINATION lib/udev/rules.d)
