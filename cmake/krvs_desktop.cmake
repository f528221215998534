# Writes krvs.desktop into the install folder with the folder's absolute path.
# Runs at install time; KRVS_DESKTOP_TEMPLATE names the template.
get_filename_component(KRVS_DIR "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)

# Exec takes a quoted argument: inside the quotes ", `, $ and \ are escaped with a
# backslash, every backslash of the value is doubled again, and % is written %%.
set(_exec "${KRVS_DIR}/KRVS")
string(REPLACE "\\" "\\\\" _exec "${_exec}")
string(REPLACE "\"" "\\\"" _exec "${_exec}")
string(REPLACE "`" "\\`" _exec "${_exec}")
string(REPLACE "$" "\\$" _exec "${_exec}")
string(REPLACE "\\" "\\\\" _exec "${_exec}")
string(REPLACE "%" "%%" _exec "${_exec}")
set(KRVS_EXEC "\"${_exec}\"")

set(_dest "$ENV{DESTDIR}${KRVS_DIR}/krvs.desktop")
message(STATUS "Installing: ${_dest}")
configure_file("${KRVS_DESKTOP_TEMPLATE}" "${_dest}" @ONLY)
# Desktops start an entry from an ordinary folder only when it is executable.
file(CHMOD "${_dest}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
     GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_dest}")
