# What the Windows build hands to users beside the bare program: an installer (an MSI
# made by wixl, from Debian's msitools) and a plain .zip with the program and a
# README, for those who want no installer. Both land in the build folder and are made
# again whenever the program changes.
find_program(KEST_WIXL wixl)
if(NOT KEST_WIXL)
  message(WARNING "wixl (msitools) not found: no Windows installer is made; run scripts/setup")
endif()

set(program ${CMAKE_BINARY_DIR}/Kest_Redirect_Serial_to_KB.exe)
set(readme ${CMAKE_BINARY_DIR}/README.txt)
set(msi ${CMAKE_BINARY_DIR}/kest-redirect-${PROJECT_VERSION}-x64.msi)
set(zip ${CMAKE_BINARY_DIR}/kest-redirect-${PROJECT_VERSION}-windows-x64.zip)
# Notepad of older Windows shows a text without CR as one long line.
configure_file(${PROJECT_SOURCE_DIR}/data/windows/README.txt.in ${readme} @ONLY NEWLINE_STYLE CRLF)

# wixl takes the files it packs by names relative to where it runs: the build folder.
set(PROGRAM Kest_Redirect_Serial_to_KB.exe)
set(README README.txt)
set(ICON kest-redirect.ico)
configure_file(${PROJECT_SOURCE_DIR}/src/app/win32/kest-redirect.ico ${CMAKE_BINARY_DIR}/${ICON}
  COPYONLY)
set(wxs ${CMAKE_BINARY_DIR}/kest-redirect.wxs)
configure_file(${PROJECT_SOURCE_DIR}/data/windows/kest-redirect.wxs.in ${wxs} @ONLY)

set(outputs ${zip})
add_custom_command(OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip Kest_Redirect_Serial_to_KB.exe README.txt
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS Kest_Redirect_Serial_to_KB ${program} ${readme}
  COMMENT "Windows .zip: ${zip}"
  VERBATIM)
if(KEST_WIXL)
  list(APPEND outputs ${msi})
  add_custom_command(OUTPUT ${msi}
    COMMAND ${KEST_WIXL} --arch x64 --output ${msi} ${wxs}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS Kest_Redirect_Serial_to_KB ${program} ${readme} ${wxs}
    COMMENT "Windows installer: ${msi}"
    VERBATIM)
endif()
add_custom_target(windows_packages ALL DEPENDS ${outputs})
