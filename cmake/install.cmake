# `cmake --install <build> --prefix DIR` puts everything KRVS needs into DIR, a folder
# that runs as it is: the program, its icon (drawing and picture) and a desktop entry
# that points at both by their full paths. Include this after the KRVS target exists.
install(TARGETS KRVS RUNTIME DESTINATION .)
# The catalogue tool goes along, so that a catalogue can be made beside the program.
install(TARGETS krvs-makedb RUNTIME DESTINATION . OPTIONAL)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../src/ui/resources/krvs.svg DESTINATION .)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../src/ui/resources/krvs-256.png DESTINATION .
        RENAME krvs.png)
# The desktop entry needs the folder's final path, known only when installing.
install(CODE "set(KRVS_DESKTOP_TEMPLATE \"${CMAKE_CURRENT_LIST_DIR}/../src/ui/resources/krvs.desktop.in\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/krvs_desktop.cmake)
